// Time on the shaped link: microseconds of a clock that never goes back.
#pragma once

#include <cstdint>

namespace morbs::netdelay {

using Micros = int64_t;

constexpr Micros micros_per_ms = 1000;
constexpr Micros micros_per_second = 1000000;

// Now, on the monotonic clock.
Micros monotonic_now();

}  // namespace morbs::netdelay
