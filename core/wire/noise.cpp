#include "core/wire/noise.h"

#include <array>
#include <random>

#include "platform/clock.h"
#include "platform/random_bytes.h"

namespace morbs {

namespace {

constexpr size_t batch_size = 64;

// Only when the kernel refuses random bytes: a generator of this thread's own,
// so noise never stops nor is shared between threads.
void fallback_bytes(uint8_t* buffer, size_t count) {
  thread_local std::mt19937 engine([] {
    auto t = platform::now().value_or(platform::WallTime{});
    std::seed_seq seq{static_cast<uint32_t>(t.seconds), static_cast<uint32_t>(t.nanoseconds),
                      static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&t))};
    return std::mt19937(seq);
  }());
  for (size_t i = 0; i < count; ++i) buffer[i] = static_cast<uint8_t>(engine());
}

}  // namespace

void urandom_win(uint8_t* buffer, size_t count) {
  std::array<uint8_t, batch_size> raw{};
  size_t filled = 0;
  while (filled < count) {
    if (!platform::random_bytes(raw.data(), raw.size())) fallback_bytes(raw.data(), raw.size());
    for (uint8_t b : raw) {
      if (b < noise_low || b > noise_high) continue;
      buffer[filled++] = b;
      if (filled == count) break;
    }
  }
}

int noise_gen(uint8_t* buffer, size_t count) {
  urandom_win(buffer, count);
  return 1;
}

}  // namespace morbs
