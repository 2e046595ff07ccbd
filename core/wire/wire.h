// Constants shared with the nodes and the access tester: change one and the
// client no longer understands them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace morbs::wire {

// key = (a * day of year from 1 + b * (years since 1900 + c) + month from 0) * d
struct DayKeyConstants {
  int64_t a, b, c, d;
};

inline constexpr DayKeyConstants message_key{7, 31, 3, 1009};
inline constexpr DayKeyConstants certificate_key{11, 37, 5, 1013};

// The key of both when the clock cannot be read.
inline constexpr uint32_t fallback_key = 20170523;

// Modulus of the number generator.
inline constexpr int64_t modulus = 281474976710597LL;

// A node that refuses a request answers this text instead of a block.
inline constexpr std::string_view refusal = "I love you.";

inline constexpr size_t message_block_size = 512;
inline constexpr size_t message_plain_size = 256;
inline constexpr size_t certificate_block_size = 4096;
inline constexpr size_t certificate_plain_size = 2048;

}  // namespace morbs::wire
