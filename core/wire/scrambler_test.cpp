#include "core/wire/scrambler.h"

#include <gtest/gtest.h>

#include <cstring>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/session/day_key.h"
#include "core/wire/noise.h"
#include "platform/clock.h"

namespace morbs {
namespace {

std::string decode(MessageBlock block) {
  PlainBlock plain{};
  decodeV1(block, 0, plain);
  // Noise decoded under the wrong key need hold no NUL.
  return std::string(plain.data(), strnlen(plain.data(), plain.size()));
}

TEST(Scrambler, TheSameTextCodesDifferentlyAndDecodesTheSame) {
  MessageBlock a{}, b{};
  codeV1("OP=currentspace&", 0, a);
  codeV1("OP=currentspace&", 0, b);
  EXPECT_NE(a, b);
  EXPECT_EQ(decode(a), "OP=currentspace&");
  EXPECT_EQ(decode(b), "OP=currentspace&");
}

TEST(Scrambler, ALongTextIsCutTo255Characters) {
  std::string text(300, 'x');
  MessageBlock block{};
  codeV1(text, 0, block);
  EXPECT_EQ(decode(block), std::string(255, 'x'));
}

TEST(Scrambler, ABlockOfYesterdayIsNoise) {
  setenv("TZ", "UTC", 1);
  tzset();
  MessageBlock block{};
  {
    platform::TestClock clock({1514764800, 0});  // 2018-01-01
    codeV1("TEST=H00&", 0, block);
  }
  platform::TestClock next_day({1514764800 + 86400, 0});
  EXPECT_NE(decode(block).rfind("TEST=H00&", 0), 0u);
}

TEST(DayKey, FollowsTheCalendarFormula) {
  setenv("TZ", "UTC", 1);
  tzset();
  uint32_t key = 0;
  // 2018-03-15: day 74, years since 1900 118, month 2.
  ASSERT_TRUE(day_key_of(wire::message_key, 1521072000, key));
  EXPECT_EQ(key, static_cast<uint32_t>((7 * 74 + 31 * (118 + 3) + 2) * 1009));
  platform::TestClock broken({0, 0}, platform::TestClock::Mode::broken);
  EXPECT_EQ(key_number(key), -1);
  EXPECT_EQ(key, wire::fallback_key);
}

TEST(Noise, BytesAreNeverZeroNorTwoHundredFiftyFive) {
  uint8_t a[256], b[256];
  urandom_win(a, sizeof a);
  urandom_win(b, sizeof b);
  for (uint8_t v : a) {
    EXPECT_NE(v, 0);
    EXPECT_NE(v, 255);
  }
  EXPECT_NE(std::string(a, a + 256), std::string(b, b + 256));
}

// Every value of 1..254 comes about equally often: 400 expected each, and a
// count outside 200..600 would be 10 standard deviations away.
TEST(Noise, UniformOverOneTo254) {
  std::vector<uint8_t> bytes(254 * 400);
  urandom_win(bytes.data(), bytes.size());
  std::array<int, 256> count{};
  for (uint8_t v : bytes) ++count[v];
  EXPECT_EQ(count[0], 0);
  EXPECT_EQ(count[255], 0);
  for (int v = 1; v <= 254; ++v) {
    EXPECT_GT(count[v], 200) << v;
    EXPECT_LT(count[v], 600) << v;
  }
}

// A clock that moves only with sleeps shows whether coding waits.
TEST(Noise, CodingNeverSleeps) {
  platform::TestClock clock({1514764800, 0});
  uint8_t buffer[256];
  noise_gen(buffer, sizeof buffer);
  MessageBlock block{};
  codeV1("OP=currentspace&", 0, block);
  PlainBlock plain{};
  decodeV1(block, 0, plain);
  EXPECT_EQ(clock.get().seconds, 1514764800);
  EXPECT_EQ(clock.get().nanoseconds, 0);
}

// A short request leaves most of the plain block to the fill noise; a fill
// that is not fresh for each coding would show as equal bytes.
TEST(Noise, EveryCodingDrawsFreshFillAndMask) {
  MessageBlock a{}, b{};
  codeV1("", 0, a);
  codeV1("", 0, b);
  int equal_even = 0, equal_odd = 0;
  for (size_t i = 0; i < a.size(); i += 2) {
    equal_even += a[i] == b[i];
    equal_odd += a[i + 1] == b[i + 1];
  }
  // About one in 254 by chance.
  EXPECT_LT(equal_even, 20);
  EXPECT_LT(equal_odd, 20);
}

}  // namespace
}  // namespace morbs
