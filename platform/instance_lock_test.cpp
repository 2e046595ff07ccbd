#include "platform/instance_lock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/process.h"

namespace morbs::platform {
namespace {

// Each test takes markers in a directory of its own.
class InstanceLockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("morbs-lock-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            std::to_string(reinterpret_cast<uintptr_t>(this)));
    std::filesystem::create_directories(dir_);
    ::setenv("MORBS_LOCK_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("MORBS_LOCK_DIR");
    std::filesystem::remove_all(dir_);
  }
  std::filesystem::path dir_;
};

TEST_F(InstanceLockTest, OneHolderAtATimeUntilReleased) {
  InstanceLock first, second;
  ASSERT_TRUE(first.acquire("MARK"));
  EXPECT_TRUE(std::filesystem::exists(dir_ / "MARK.lock"));
  EXPECT_FALSE(second.acquire("MARK"));
  EXPECT_FALSE(second.held());
  EXPECT_TRUE(second.acquire("OTHER"));  // another name is another marker
  first.release();
  EXPECT_TRUE(second.acquire("MARK"));
}

TEST_F(InstanceLockTest, MovingKeepsTheMarkerAndDestructionDropsIt) {
  {
    InstanceLock first;
    ASSERT_TRUE(first.acquire("MARK"));
    InstanceLock moved = std::move(first);
    EXPECT_FALSE(first.held());
    InstanceLock probe;
    EXPECT_FALSE(probe.acquire("MARK"));
  }
  InstanceLock after;
  EXPECT_TRUE(after.acquire("MARK"));
}

TEST_F(InstanceLockTest, HeldAgainstOtherProcessesButNotPassedToChildren) {
  InstanceLock mine;
  ASSERT_TRUE(mine.acquire("MARK"));
  const std::string path = instance_lock_path("MARK");
  // flock(1) in another process: refused while we hold it.
  auto busy = run_process({"flock", "-n", path, "true"});
  ASSERT_TRUE(busy);
  EXPECT_NE(busy->exit_code, 0);
  // A child started while we hold it does not inherit the descriptor: once we
  // let go, the marker is free although the child still runs.
  BackgroundProcess child;
  ASSERT_TRUE(child.start({"sleep", "5"}));
  mine.release();
  auto free_now = run_process({"flock", "-n", path, "true"});
  ASSERT_TRUE(free_now);
  EXPECT_EQ(free_now->exit_code, 0);
}

TEST_F(InstanceLockTest, PathFollowsTheOverrideElseTmp) {
  EXPECT_EQ(instance_lock_path("KORVEX"), dir_.string() + "/KORVEX.lock");
  ::setenv("MORBS_LOCK_DIR", "", 1);
  EXPECT_EQ(instance_lock_path("KORVEX"), "/tmp/KORVEX.lock");
  ::unsetenv("MORBS_LOCK_DIR");
  EXPECT_EQ(instance_lock_path("KORVEX"), "/tmp/KORVEX.lock");
}

TEST_F(InstanceLockTest, AnUnusableLockFileIsNoMarker) {
  ::setenv("MORBS_LOCK_DIR", (dir_ / "missing-dir").c_str(), 1);
  InstanceLock lock;
  EXPECT_FALSE(lock.acquire("MARK"));
  // A symbolic link planted in place of the lock file is not followed.
  ::setenv("MORBS_LOCK_DIR", dir_.c_str(), 1);
  std::filesystem::create_symlink(dir_ / "elsewhere", dir_ / "LINK.lock");
  EXPECT_FALSE(lock.acquire("LINK"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "elsewhere"));
}

}  // namespace
}  // namespace morbs::platform
