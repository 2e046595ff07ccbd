#include "peers/netdelay/token_bucket.h"

#include <gtest/gtest.h>

namespace morbs::netdelay {
namespace {

constexpr double one_mb_per_second = 1e6;  // one byte a microsecond

TEST(TokenBucket, StartsFullAndRefillsAtItsRateUpToItsDepth) {
  TokenBucket bucket(one_mb_per_second, 1000, 0);
  EXPECT_EQ(bucket.available(0), 1000u);
  bucket.spend(1000);
  EXPECT_EQ(bucket.available(0), 0u);
  EXPECT_EQ(bucket.available(250), 250u);
  EXPECT_EQ(bucket.available(600), 600u);
  EXPECT_EQ(bucket.available(1000000), 1000u);
}

TEST(TokenBucket, NeverSpendsMoreThanItHas) {
  TokenBucket bucket(one_mb_per_second, 100, 0);
  bucket.spend(500);
  EXPECT_EQ(bucket.available(0), 0u);
  EXPECT_EQ(bucket.available(40), 40u);
}

TEST(TokenBucket, TellsWhenEnoughTokensWillBeThere) {
  TokenBucket bucket(one_mb_per_second / 2, 1000, 0);  // a byte every 2 µs
  bucket.spend(1000);
  EXPECT_EQ(bucket.ready_at(300, 0), 600);
  EXPECT_EQ(bucket.ready_at(300, 100), 600);
  EXPECT_EQ(bucket.ready_at(300, 600), 600);
  EXPECT_EQ(bucket.ready_at(5000, 600), 2000);  // never more than its depth
}

TEST(TokenBucket, ItsShapeKeepsWaitsShortAndBurstsSmall) {
  struct Case {
    double mbit;
    size_t threshold, depth;
  };
  const Case cases[] = {
      {1, 1500, 3000},             // slow: a packet at a time, a burst of two
      {100, 25000, 50000},         // 2 ms a read, 4 ms of burst
      {1000, 65536, 500000},       // reads capped at 64 KiB, 4 ms of burst
      {100000, 65536, 50000000},
  };
  for (const Case& c : cases) {
    const BucketShape shape = bucket_shape(c.mbit * 1e6 / 8);
    EXPECT_EQ(shape.read_threshold, c.threshold) << c.mbit;
    EXPECT_EQ(shape.depth, c.depth) << c.mbit;
    EXPECT_GE(shape.depth, 2 * shape.read_threshold) << c.mbit;
  }
}

}  // namespace
}  // namespace morbs::netdelay
