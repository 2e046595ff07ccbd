#include "platform/child_set.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>

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

// A child's input can be a range of a file, fed through a pipe: exactly
// those bytes, each start from the range's first byte, and a reader that
// stops early leaves nothing blocked.
TEST(ChildSet, AChildReadsARangeOfAFileOnItsInput) {
  const std::string dir = ::testing::TempDir();
  const std::string source = dir + "/child_set_source", copy = dir + "/child_set_copy";
  std::string bytes(300000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  std::ofstream(source, std::ios::binary) << bytes;
  FileDescriptor in(::open(source.c_str(), O_RDONLY));
  struct Case {
    int64_t offset, length;
  } cases[] = {{0, 300000}, {12345, 200000}, {299999, 1}, {100, 0}};
  for (const Case& c : cases) {
    FileDescriptor out(::open(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
    ChildSet children;
    const InputRange range{in.get(), c.offset, c.length};
    ASSERT_TRUE(children.start(1, {"cat"}, out.get(), &range));
    auto ended = children.wait_any();
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->exit_code, 0);
    std::ifstream copied(copy, std::ios::binary);
    std::stringstream got;
    got << copied.rdbuf();
    EXPECT_TRUE(got.str() == bytes.substr(static_cast<size_t>(c.offset), static_cast<size_t>(c.length)))
        << c.offset << " " << c.length;
  }
  const auto start = std::chrono::steady_clock::now();
  {
    ChildSet children;
    const InputRange range{in.get(), 0, 300000};
    FileDescriptor nowhere(::open("/dev/null", O_WRONLY));
    ASSERT_TRUE(children.start(1, {"head", "-c", "10"}, nowhere.get(), &range));
    EXPECT_TRUE(children.wait_any());
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(::lseek(in.get(), 0, SEEK_CUR), 0);  // its position never moved
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
