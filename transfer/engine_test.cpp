#include "transfer/engine.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace morbs {
namespace {

namespace fs = std::filesystem;

// A stand-in for curl, first on PATH. Each transfer is named by the last
// piece of its URL: it fails as often as "fails-NAME" says, records its
// arguments in "args-NAME", and marks "running-NAME" while it runs so that
// the test can see how many ran at once.
const char* fake_curl = R"sh(#!/bin/sh
d=$(dirname "$0")
echo "$#" >> "$d/children"
grouped=no
for a in "$@"; do [ "$a" = "-w" ] && grouped=yes; done
index=0
code=0
for a in "$@"; do
  case $a in sftp://*) ;; *) continue ;; esac
  name=${a##*/}
  n=$(cat "$d/calls-$name" 2>/dev/null || echo 0)
  n=$((n + 1))
  echo "$n" > "$d/calls-$name"
  printf '%s\n' "$@" > "$d/args-$name"
  : > "$d/running-$name"
  ls "$d" | grep -c '^running-' >> "$d/at-once"
  sleep 0.2
  rm -f "$d/running-$name"
  code=0
  if [ "$n" -le "$(cat "$d/fails-$name" 2>/dev/null || echo 0)" ]; then code=7; fi
  [ $grouped = yes ] && echo "$index $code"
  index=$((index + 1))
done
exit $code
)sh";

std::string read_all(const fs::path& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class Engine : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("concurrent_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    std::ofstream(dir_ / "curl") << fake_curl;
    fs::permissions(dir_ / "curl", fs::perms(0755));
    old_path_ = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (dir_.string() + ":" + old_path_).c_str(), 1);
  }
  void TearDown() override {
    ::setenv("PATH", old_path_.c_str(), 1);
    fs::remove_all(dir_);
  }
  void fails(const std::string& name, int count) { std::ofstream(dir_ / ("fails-" + name)) << count; }
  std::vector<TransferJob> uploads(int count) {
    std::vector<TransferJob> jobs;
    for (int i = 0; i < count; ++i) {
      TransferJob job;
      job.transfer.direction = Direction::upload;
      job.transfer.url = "sftp://127.0.0.1:1/home/u/part" + std::to_string(i);
      job.transfer.login = "u:p";
      job.transfer.local = "source file";
      job.transfer.label = "basic " + std::to_string(i);
      jobs.push_back(job);
    }
    return jobs;
  }
  int most_at_once() {
    std::istringstream lines(read_all(dir_ / "at-once"));
    int most = 0;
    for (int n; lines >> n;) most = std::max(most, n);
    return most;
  }
  fs::path dir_;
  std::string old_path_;
};

TEST_F(Engine, AllDoneWithAtMostTheAllowedNumberAtOnce) {
  auto jobs = uploads(4);
  std::vector<size_t> done;
  RecordingReporter reporter(true);
  ChildWorkers workers;
  run_transfers(jobs, {2, true, [&](size_t i) { done.push_back(i); }}, reporter, workers);
  const std::string& out = reporter.said;
  for (const auto& job : jobs) EXPECT_TRUE(job.done());
  std::sort(done.begin(), done.end());
  EXPECT_EQ(done, (std::vector<size_t>{0, 1, 2, 3}));
  EXPECT_EQ(most_at_once(), 2);
  // Quiet curl and one line per transfer, never a bar of its own.
  EXPECT_NE(read_all(dir_ / "args-part0").find("-Ss\n"), std::string::npos);
  EXPECT_NE(read_all(dir_ / "args-part0").find("-T\nsource file\n"), std::string::npos);
  EXPECT_NE(out.find(" transfer 4 of 4 done: basic "), std::string::npos) << out;
}

TEST_F(Engine, OneAtATimeKeepsCurlsOwnProgressBarAndPrintsNothingMore) {
  auto jobs = uploads(2);
  RecordingReporter reporter(true);
  ChildWorkers workers;
  run_transfers(jobs, {1, true, {}}, reporter, workers);
  EXPECT_EQ(reporter.said, "");
  EXPECT_EQ(most_at_once(), 1);
  EXPECT_NE(read_all(dir_ / "args-part1").find("--progress-bar"), std::string::npos);
}

TEST_F(Engine, AFailingTransferIsRetriedAloneWithItsOwnAttemptLines) {
  fails("part1", 2);
  auto jobs = uploads(3);
  RecordingReporter reporter(true);
  ChildWorkers workers;
  run_transfers(jobs, {3, true, {}}, reporter, workers);
  const std::string& out = reporter.said;
  for (const auto& job : jobs) EXPECT_TRUE(job.done());
  EXPECT_EQ(read_all(dir_ / "calls-part0"), "1\n");
  EXPECT_EQ(read_all(dir_ / "calls-part1"), "3\n");
  EXPECT_EQ(read_all(dir_ / "calls-part2"), "1\n");
  EXPECT_NE(out.find("Error: upload file, attmpt[1] from 3\n"), std::string::npos);
  EXPECT_NE(out.find("Error: upload file, attmpt[2] from 3\n"), std::string::npos);
  EXPECT_EQ(out.find("attmpt[3]"), std::string::npos);
}

TEST_F(Engine, AFinalFailureStopsNewStarts) {
  fails("part0", 3);
  auto jobs = uploads(3);
  RecordingReporter reporter(false);
  ChildWorkers workers;
  run_transfers(jobs, {1, true, {}}, reporter, workers);
  EXPECT_EQ(reporter.said, "");  // test off: silent
  EXPECT_EQ(jobs[0].outcome, TransferJob::Outcome::failed);
  EXPECT_EQ(read_all(dir_ / "calls-part0"), "3\n");
  EXPECT_FALSE(fs::exists(dir_ / "calls-part1"));
  EXPECT_EQ(jobs[1].outcome, TransferJob::Outcome::waiting);
}

TEST_F(Engine, ARunningTransferIsWaitedForAfterAnotherFailed) {
  fails("part0", 3);
  fails("part1", 1);
  auto jobs = uploads(2);
  RecordingReporter reporter(false);
  ChildWorkers workers;
  run_transfers(jobs, {2, true, {}}, reporter, workers);
  EXPECT_EQ(jobs[0].outcome, TransferJob::Outcome::failed);
  EXPECT_TRUE(jobs[1].done());  // its retry still ran
}

// Jobs made just before they start: in their order, each once (a retry is
// not made again), and a job that cannot be made stops the ones after it.
TEST_F(Engine, JobsMadeInTheirOrderJustBeforeTheyStart) {
  fails("part0", 1);
  const auto made = uploads(4);
  std::vector<TransferJob> jobs(4);
  std::vector<size_t> order;
  for (size_t i = 0; i < jobs.size(); ++i)
    jobs[i].prepare = [&, i](TransferJob& job) {
      order.push_back(i);
      if (i == 2) return Status::failure("cannot be made");
      job.transfer = made[i].transfer;
      return Status::success();
    };
  RecordingReporter reporter(false);
  ChildWorkers workers;
  run_transfers(jobs, {1, true, {}}, reporter, workers);
  EXPECT_EQ(order, (std::vector<size_t>{0, 1, 2}));
  EXPECT_TRUE(jobs[0].done());
  EXPECT_TRUE(jobs[1].done());
  EXPECT_EQ(read_all(dir_ / "calls-part0"), "2\n");
  EXPECT_EQ(jobs[2].outcome, TransferJob::Outcome::unprepared);
  EXPECT_EQ(jobs[2].why.why(), "cannot be made");
  EXPECT_EQ(jobs[3].outcome, TransferJob::Outcome::waiting);
  EXPECT_FALSE(fs::exists(dir_ / "calls-part3"));
}

// What curl calls done is checked: bytes the node does not hold as sent make
// a failed attempt, retried like any other, and the check's reason is told.
TEST_F(Engine, ATransferThatFailsItsCheckIsRetried) {
  auto jobs = uploads(2);
  int checks = 0;
  jobs[0].verify = [&](TransferJob&) {
    return ++checks == 1 ? Status::failure("digest differs") : Status::success();
  };
  jobs[1].verify = [](TransferJob&) { return Status::failure("size differs"); };
  RecordingReporter reporter(true);
  ChildWorkers workers;
  run_transfers(jobs, {2, false, {}, 0, 1}, reporter, workers);
  EXPECT_TRUE(jobs[0].done());
  EXPECT_EQ(read_all(dir_ / "calls-part0"), "2\n");
  EXPECT_EQ(jobs[1].outcome, TransferJob::Outcome::failed);
  EXPECT_EQ(jobs[1].why.why(), "size differs");
  EXPECT_EQ(read_all(dir_ / "calls-part1"), "3\n");
  EXPECT_NE(reporter.said.find("basic 0: digest differs\n"), std::string::npos) << reporter.said;
}

TEST(RetryPause, GrowsWithEachAttemptAndIsJittered) {
  struct Case {
    int base, attempt;
    double unit;
    int pause;
  } cases[] = {
      {250, 1, 0.5, 0},   {250, 2, 0.5, 250}, {250, 3, 0.5, 500}, {250, 2, 0.0, 125},
      {250, 2, 0.999, 374}, {0, 3, 0.5, 0},   {100, 4, 0.5, 400},
  };
  for (const Case& c : cases)
    EXPECT_EQ(retry_pause(c.base, c.attempt, c.unit), c.pause) << c.base << " " << c.attempt << " " << c.unit;
}

// A retry waits for its pause without holding back a transfer that may start.
TEST_F(Engine, ARetryWaitsItsPauseWhileOthersRun) {
  fails("part0", 1);
  auto jobs = uploads(2);
  RecordingReporter reporter(false);
  ChildWorkers workers;
  const auto begun = std::chrono::steady_clock::now();
  run_transfers(jobs, {2, true, {}, 0, 600}, reporter, workers);
  const auto took = std::chrono::steady_clock::now() - begun;
  EXPECT_TRUE(jobs[0].done());
  EXPECT_TRUE(jobs[1].done());
  EXPECT_GE(took, std::chrono::milliseconds(300 + 2 * 200));  // the pause is at least half of 600
}

// Transfers to one place share a child, one after another over one
// connection; each keeps its own outcome, and a failed one is retried alone.
TEST_F(Engine, TransfersToOnePlaceShareAChildAndKeepTheirOwnOutcomes) {
  fails("part2", 1);
  auto jobs = uploads(6);
  for (size_t i = 3; i < jobs.size(); ++i) jobs[i].transfer.url = "sftp://127.0.0.1:2/home/u/part" + std::to_string(i);
  RecordingReporter reporter(false);
  ChildWorkers workers;
  EngineOptions options{2, false, {}, 0, 0};
  options.group_limit = 3;
  run_transfers(jobs, options, reporter, workers);
  for (const auto& job : jobs) EXPECT_TRUE(job.done()) << job.transfer.label;
  // Two children of three, then part2 again on its own.
  std::istringstream children(read_all(dir_ / "children"));
  int argc = 0, carrying_three = 0, children_started = 0;
  while (children >> argc) {
    ++children_started;
    if (argc > 15) ++carrying_three;
  }
  EXPECT_EQ(children_started, 3);
  EXPECT_EQ(carrying_three, 2);
  EXPECT_EQ(read_all(dir_ / "calls-part2"), "2\n");
  const std::string retry = read_all(dir_ / "args-part2");
  EXPECT_EQ(retry.find("part1"), std::string::npos) << retry;
  EXPECT_NE(read_all(dir_ / "args-part4").find("-T\nsource file\nsftp://127.0.0.1:2/home/u/part4\n"),
            std::string::npos);
}

TEST_F(Engine, NoCurlOnThePathIsNotStarted) {
  auto jobs = uploads(2);
  ::setenv("PATH", "/nonexistent", 1);
  RecordingReporter reporter(false);
  ChildWorkers workers;
  run_transfers(jobs, {2, false, {}}, reporter, workers);
  EXPECT_EQ(jobs[0].outcome, TransferJob::Outcome::not_started);
  EXPECT_EQ(jobs[1].outcome, TransferJob::Outcome::not_started);
  EXPECT_STREQ(download_failure(jobs[0]), "incorrect arguments in the q-string");
}

}  // namespace
}  // namespace morbs
