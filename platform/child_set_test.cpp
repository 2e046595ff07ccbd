#include "platform/child_set.h"

#include <gtest/gtest.h>

#include <chrono>

namespace morbs::platform {
namespace {

TEST(ChildSet, ReportsEachChildWithItsExitCodeInTheOrderTheyEnd) {
  ChildSet children;
  ASSERT_TRUE(children.start(1, {"sh", "-c", "sleep 0.3; exit 3"}));
  ASSERT_TRUE(children.start(2, {"true"}));
  EXPECT_EQ(children.running(), 2u);
  auto first = children.wait_any();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->tag, 2);
  EXPECT_EQ(first->exit_code, 0);
  auto second = children.wait_any();
  ASSERT_TRUE(second);
  EXPECT_EQ(second->tag, 1);
  EXPECT_EQ(second->exit_code, 3);
  EXPECT_FALSE(children.wait_any());
}

// A wait with a limit still reaps a child that has ended, even a wait of
// no time at all; one that is still running is waited for no longer.
TEST(ChildSet, AWaitWithALimitTakesWhatEndedAndNoMore) {
  ChildSet children;
  ASSERT_TRUE(children.start(1, {"true"}));
  ASSERT_TRUE(children.start(2, {"sleep", "5"}));
  std::optional<ChildSet::Ended> ended;
  for (int tries = 0; !ended && tries < 200; ++tries) ended = children.wait_any(tries % 2 == 0 ? 0 : 10);
  ASSERT_TRUE(ended);
  EXPECT_EQ(ended->tag, 1);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(children.wait_any(50));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(children.running(), 1u);
}

TEST(ChildSet, AProgramNotOnThePathIsNotStarted) {
  ChildSet children;
  EXPECT_FALSE(children.start(1, {"no-such-program-anywhere"}));
  EXPECT_EQ(children.running(), 0u);
}

TEST(ChildSet, ChildrenStillRunningAreKilledWithTheSet) {
  auto start = std::chrono::steady_clock::now();
  {
    ChildSet children;
    ASSERT_TRUE(children.start(1, {"sleep", "30"}));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
}  // namespace morbs::platform
