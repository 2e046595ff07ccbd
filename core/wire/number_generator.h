// The deterministic generator both ends run from a day key, built on
// decimal-string arithmetic. Its quirks (a negative state takes part in the
// arithmetic with "-" as the digit -3) are part of the wire contract.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace morbs {

// Long multiplication on digit texts: exactly size(a) + size(b) digits,
// leading zeros kept; each character c counts as the signed digit c - 48.
std::string multiply(std::string_view a, std::string_view b);

// Remainder of a digit text by `modulus`; -1 when the modulus is 0.
int64_t mod(std::string_view digits, int64_t modulus);

// The generator's state, owned by whoever codes: two threads that code at
// once each hold their own and share nothing.
struct GeneratorState {
  int32_t init_seed = 0;
};

void RSA_srand(GeneratorState& state, uint32_t seed);
// The next state: s^6 mod M, its low 32 bits read as signed.
int32_t RSA_rand(GeneratorState& state);

// 1 when the text holds a non-digit (output untouched); else 0 with the value,
// 4294967295 when it lies beyond 32 bits.
int atoui(std::string_view text, uint32_t& out);

}  // namespace morbs
