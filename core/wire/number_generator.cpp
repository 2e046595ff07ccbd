#include "core/wire/number_generator.h"

#include <vector>

#include "core/wire/wire.h"

namespace morbs {

namespace {
int8_t digit_value(char c) { return static_cast<int8_t>(c - 48); }
}  // namespace

std::string multiply(std::string_view a, std::string_view b) {
  const size_t la = a.size(), lb = b.size(), columns = la + lb;
  std::vector<int> column_sum(columns, 0);
  for (size_t r = 0; r < lb; ++r) {
    int carry = 0;
    const int d = digit_value(b[lb - 1 - r]);
    for (size_t k = 0; k < la; ++k) {
      int p = digit_value(a[la - 1 - k]) * d + carry;
      column_sum[k + r] += static_cast<int8_t>(p % 10);
      carry = p / 10;
    }
    column_sum[la + r] += static_cast<int8_t>(carry);
  }
  std::string result(columns, '0');
  int carry = 0;
  for (size_t col = 0; col < columns; ++col) {
    int sum = column_sum[col] + carry;
    result[columns - 1 - col] = static_cast<char>(48 + sum % 10);
    carry = sum / 10;
  }
  return result;
}

int64_t mod(std::string_view digits, int64_t modulus) {
  if (modulus == 0) return -1;
  int64_t r = 0;
  for (char c : digits) r = (r * 10 + digit_value(c)) % modulus;
  return r;
}

void RSA_srand(GeneratorState& state, uint32_t seed) {
  state.init_seed = static_cast<int32_t>(seed);
}

namespace {
// For a state of ordinary digits the texts are exact arithmetic: s^6 mod M,
// computed here without the texts. Pinned to the text path by the tests.
int64_t sixth_power_mod(int64_t s) {
  using wide = unsigned __int128;
  const wide m = static_cast<wide>(wire::modulus);
  wide acc = static_cast<wide>(s) % m;
  const wide base = acc;
  for (int i = 0; i < 5; ++i) acc = acc * base % m;
  return static_cast<int64_t>(acc);
}
}  // namespace

int32_t RSA_rand(GeneratorState& state) {
  if (state.init_seed >= 0) {
    const int64_t r = sixth_power_mod(state.init_seed);
    state.init_seed = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(r)));
    return state.init_seed;
  }
  // A negative state takes "-" into the digit arithmetic: only the texts say
  // what that gives.
  const std::string s = std::to_string(state.init_seed);
  std::string acc = s;
  for (int i = 0; i < 5; ++i) acc = multiply(acc, s);
  const int64_t r = mod(acc, wire::modulus);
  state.init_seed = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(r)));
  return state.init_seed;
}

int atoui(std::string_view text, uint32_t& out) {
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 1;
    if (value <= UINT32_MAX) value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  out = value > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(value);
  return 0;
}

}  // namespace morbs
