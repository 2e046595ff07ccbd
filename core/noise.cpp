#include "core/noise.h"

#include <cstdlib>
#include <string>

#include "platform/clock.h"

namespace morbs {

namespace {

// The last eight digits of the seconds and the hundredths of a second: ten
// digits, wrapped to 32 bits so that the seed still follows the clock.
unsigned clock_seed() {
  auto t = platform::now().value_or(platform::WallTime{});
  std::string text = std::to_string(static_cast<uint32_t>(t.seconds));
  text = text.size() > 2 ? text.substr(2) : std::string();
  long hundredths = t.nanoseconds / 10000000;
  if (hundredths < 10) text += '0';
  text += std::to_string(hundredths);
  uint64_t value = 0;
  for (char c : text) value = value * 10 + static_cast<uint64_t>(c - '0');
  return static_cast<unsigned>(value);
}

}  // namespace

void urandom_win(uint8_t* buffer, size_t count) {
  platform::sleep_microseconds(17300);
  std::srand(clock_seed());
  for (size_t i = 0; i < count; ++i) {
    int v;
    do {
      v = std::rand() % 255;
    } while (v == 0);
    buffer[i] = static_cast<uint8_t>(v);
  }
}

int noise_gen(uint8_t* buffer, size_t count) {
  urandom_win(buffer, count);
  return 1;
}

}  // namespace morbs
