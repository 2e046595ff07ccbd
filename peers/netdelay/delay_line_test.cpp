#include "peers/netdelay/delay_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>

namespace morbs::netdelay {
namespace {

constexpr Micros ms = micros_per_ms;

// Copies `text` into the line as one read at `now`; false when it did not fit
// in one piece.
bool put(DelayLine& line, const std::string& text, Micros now) {
  std::span<char> space = line.intake();
  if (space.size() < text.size()) return false;
  std::memcpy(space.data(), text.data(), text.size());
  line.admit(text.size(), now);
  return true;
}

// Takes every byte due at `now`, in as many pieces as it comes in.
std::string take(DelayLine& line, Micros now) {
  std::string out;
  for (auto piece = line.due(now); !piece.empty(); piece = line.due(now)) {
    out.append(piece.data(), piece.size());
    line.release(piece.size());
  }
  return out;
}

TEST(DelayLine, BytesFallDueTheDelayAfterTheyWereRead) {
  DelayLine line(1024, 10 * ms);
  ASSERT_TRUE(put(line, "abc", 100 * ms));
  EXPECT_EQ(take(line, 109 * ms), "");
  EXPECT_EQ(line.next_due(), 110 * ms);
  EXPECT_EQ(take(line, 110 * ms), "abc");
  EXPECT_TRUE(line.empty());
  EXPECT_EQ(line.next_due(), std::nullopt);
}

TEST(DelayLine, EachReadKeepsItsOwnTimeSoAStreamKeepsItsRate) {
  DelayLine line(1024, 10 * ms);
  put(line, "one ", 0);
  put(line, "two ", 1 * ms);
  put(line, "three", 2 * ms);
  EXPECT_EQ(take(line, 10 * ms), "one ");
  EXPECT_EQ(line.next_due(), 11 * ms);
  EXPECT_EQ(take(line, 11 * ms), "two ");
  EXPECT_EQ(take(line, 50 * ms), "three");
}

TEST(DelayLine, WithoutDelayBytesAreDueAtOnce) {
  DelayLine line(1024, 0);
  put(line, "now", 5);
  EXPECT_EQ(take(line, 5), "now");
}

TEST(DelayLine, AFullLineTakesNothingMoreUntilBytesLeave) {
  DelayLine line(8, 0);
  ASSERT_TRUE(put(line, "12345678", 0));
  EXPECT_EQ(line.room(), 0u);
  EXPECT_TRUE(line.intake().empty());
  auto due = line.due(0);
  ASSERT_EQ(due.size(), 8u);
  line.release(3);
  EXPECT_EQ(line.room(), 3u);
  EXPECT_EQ(line.held(), 5u);
}

TEST(DelayLine, ReleasingMoreThanIsDueReleasesOnlyWhatIsDue) {
  DelayLine line(64, 10);
  put(line, "early", 0);
  put(line, "late", 5);
  ASSERT_EQ(line.due(10).size(), 5u);
  line.release(9);
  EXPECT_EQ(line.held(), 4u);
  EXPECT_EQ(take(line, 15), "late");
}

// Reads and writes of random sizes around a small ring: every byte comes out
// once, in order, never before its time.
TEST(DelayLine, BytesComeOutInOrderAcrossTheRingsEnd) {
  std::mt19937 random(7);
  DelayLine line(97, 3);
  std::string sent, received;
  Micros now = 0;
  char next = 0;
  for (int step = 0; step < 5000; ++step) {
    now += random() % 2;
    std::span<char> space = line.intake();
    const size_t n = std::min<size_t>(space.size(), random() % 40);
    for (size_t i = 0; i < n; ++i) space[i] = next++;
    sent.append(space.data(), n);
    line.admit(n, now);
    auto due = line.due(now);
    const size_t m = std::min<size_t>(due.size(), random() % 50);
    received.append(due.data(), m);
    line.release(m);
    ASSERT_LE(received.size() + line.held(), sent.size());
  }
  received += take(line, now + 3);
  EXPECT_EQ(received, sent);
}

}  // namespace
}  // namespace morbs::netdelay
