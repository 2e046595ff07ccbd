#include "transfer/engine.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

#include "core/digest/sha256.h"

namespace morbs {
namespace {

namespace fs = std::filesystem;
using Kind = platform::SftpOutcome::Kind;

// A stand-in for the transfer library: each transfer takes `delay_ms` on a
// thread of its own, named by the last piece of its URL; it fails as often
// as `fails` says (as `failure` says), and the bytes of its source, or
// `served` for a download, pass through the job's hook.
class SlowRunner final : public TransferRunner {
 public:
  ~SlowRunner() override {
    for (std::thread& t : threads_) t.join();
  }
  void start(const Transfer& transfer, platform::SftpJob io, TransferEnded ended) override {
    const std::string name = transfer.url.substr(transfer.url.rfind('/') + 1);
    const int call = ++calls[name];
    order.push_back(name);
    const bool fail = call <= (fails.count(name) ? fails.at(name) : 0);
    {
      std::lock_guard<std::mutex> held(lock_);
      most_at_once = std::max(most_at_once, ++running_);
    }
    threads_.emplace_back([this, fail, io = std::move(io), ended = std::move(ended)] {
      std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
      platform::SftpOutcome outcome;
      std::string bytes = served;
      if (io.upload || io.fd >= 0) {
        bytes.assign(static_cast<size_t>(std::max<int64_t>(io.length, 0)), '\0');
        bytes.resize(static_cast<size_t>(std::max<ssize_t>(::pread(io.fd, bytes.data(), bytes.size(), io.offset), 0)));
      }
      if (fail) {
        outcome = {failure, 7, "played failure", 0};
      } else {
        if (io.on_bytes) io.on_bytes(bytes);
        outcome.bytes = static_cast<int64_t>(bytes.size());
      }
      {
        std::lock_guard<std::mutex> held(lock_);
        --running_;
      }
      ended(outcome);
    });
  }
  int delay_ms = 200;
  Kind failure = Kind::other;
  std::string served;
  std::map<std::string, int> fails;
  std::map<std::string, int> calls;  // by the engine's thread
  std::vector<std::string> order;     // likewise: every start
  int most_at_once = 0;

 private:
  std::mutex lock_;
  int running_ = 0;
  std::vector<std::thread> threads_;
};

// What a run drew: every line shown, and how often a line stayed.
class RecordedProgress final : public ProgressView {
 public:
  int columns() const override { return 40; }
  void show(std::string_view line) override { shown.emplace_back(line); }
  void keep() override { ++kept; }
  void erase() override { ++erased; }
  std::vector<std::string> shown;
  int kept = 0, erased = 0;
};

class Engine : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("engine_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    std::ofstream(dir_ / "-") << "the source's bytes";
  }
  void TearDown() override { fs::remove_all(dir_); }
  // Uploads of the file named "-" (taken literally, never standard input).
  std::vector<TransferJob> uploads(int count) {
    std::vector<TransferJob> jobs;
    for (int i = 0; i < count; ++i) {
      TransferJob job;
      job.transfer.direction = Direction::upload;
      job.transfer.url = "sftp://127.0.0.1:1/home/u/part" + std::to_string(i);
      job.transfer.login = "u:p";
      job.transfer.local = (dir_ / "-").string();
      job.transfer.label = "basic " + std::to_string(i);
      jobs.push_back(job);
    }
    return jobs;
  }
  fs::path dir_;
  SlowRunner runner_;
};

TEST_F(Engine, AllDoneWithAtMostTheAllowedNumberAtOnce) {
  auto jobs = uploads(4);
  std::vector<size_t> done;
  RecordingReporter reporter(true);
  run_transfers(jobs, {2, true, [&](size_t i) { done.push_back(i); }}, reporter, runner_);
  const std::string& out = reporter.said;
  for (const auto& job : jobs) EXPECT_TRUE(job.done());
  std::sort(done.begin(), done.end());
  EXPECT_EQ(done, (std::vector<size_t>{0, 1, 2, 3}));
  EXPECT_EQ(runner_.most_at_once, 2);
  EXPECT_NE(out.find(" transfer 4 of 4 done: basic "), std::string::npos) << out;
}

// The bytes are those of the file named, taken literally, and each job
// keeps the digest of what passed.
TEST_F(Engine, OneAtATimeSendsTheNamedFileAndKeepsTheDigestOfWhatPassed) {
  auto jobs = uploads(2);
  RecordingReporter reporter(true);
  run_transfers(jobs, {1, true, {}}, reporter, runner_);
  EXPECT_EQ(reporter.said, "");
  EXPECT_EQ(runner_.most_at_once, 1);
  for (const auto& job : jobs) {
    EXPECT_TRUE(job.done());
    EXPECT_EQ(job.passed_bytes, 18);
    EXPECT_EQ(job.passed_sha256, digest::to_hex(digest::sha256_of("the source's bytes")));
  }
}

// One transfer at a time draws its own bar and leaves it; several draw one
// line for the run, and every line of ours starts on a clean line.
TEST_F(Engine, ProgressIsABarPerTransferAloneAndOneLineForSeveral) {
  for (int width : {1, 2}) {
    SCOPED_TRACE(width);
    auto jobs = uploads(2);
    for (size_t i = 0; i < jobs.size(); ++i) jobs[i].file = static_cast<int>(i);
    RecordingReporter reporter(true);
    RecordedProgress view;
    EngineOptions options{width, true, {}};
    options.progress = &view;
    run_transfers(jobs, options, reporter, runner_);
    ASSERT_FALSE(view.shown.empty());
    if (width == 1) {
      EXPECT_EQ(view.kept, 2);
      EXPECT_EQ(view.shown.back(), std::string(32, '#') + " 100.0%");
    } else {
      EXPECT_EQ(view.kept, 0);
      EXPECT_NE(view.shown.front().find("of 36 B"), std::string::npos) << view.shown.front();
      EXPECT_NE(view.shown.front().find("files 0 of 2"), std::string::npos) << view.shown.front();
      EXPECT_GE(view.erased, 2);  // before each "done" line
    }
  }
}

// Several at once go to a node with nothing running first: one connection
// for each node while another node waits for one.
TEST_F(Engine, SeveralAtOnceGoToANodeWithNothingRunningFirst) {
  auto jobs = uploads(4);
  jobs[2].transfer.url = "sftp://127.0.0.1:2/home/u/part2";
  jobs[3].transfer.url = "sftp://127.0.0.1:2/home/u/part3";
  RecordingReporter reporter(false);
  run_transfers(jobs, {2, true, {}}, reporter, runner_);
  for (const auto& job : jobs) EXPECT_TRUE(job.done());
  ASSERT_EQ(runner_.order.size(), 4u);
  EXPECT_EQ(runner_.order[0], "part0");
  EXPECT_EQ(runner_.order[1], "part2");  // not part1: its node is busy
}

// A node whose SFTP service stalled is not asked again in the run: the
// other transfers to it fail at once and go to their other copy.
TEST_F(Engine, ANodeThatStalledIsNotTriedAgainInTheRun) {
  runner_.failure = Kind::stalled;
  runner_.fails["part0"] = 3;
  auto jobs = uploads(3);
  jobs[2].transfer.url = "sftp://127.0.0.1:2/home/u/part2";
  int fallbacks = 0;
  jobs[1].fallback = [&](TransferJob& job) {
    ++fallbacks;
    job.transfer.url = "sftp://127.0.0.1:3/home/u/twin1";
    job.fallback = nullptr;
    return Status::success();
  };
  RecordingReporter reporter(true);
  run_transfers(jobs, {1, false, {}}, reporter, runner_);
  EXPECT_EQ(jobs[0].outcome, TransferJob::Outcome::failed);
  EXPECT_EQ(runner_.calls["part0"], 3);  // its own attempts
  EXPECT_EQ(runner_.calls["part1"], 0);  // the stalled node was not tried
  EXPECT_EQ(fallbacks, 1);
  EXPECT_TRUE(jobs[1].done());
  EXPECT_TRUE(jobs[2].done());  // another node
  EXPECT_NE(reporter.errors.find("basic 1: not tried: the SFTP service at sftp://127.0.0.1:1 failed"),
            std::string::npos)
      << reporter.errors;
  EXPECT_NE(reporter.errors.find("basic 0: played failure"), std::string::npos);
}

// A download brings its bytes into its region; a piece with nowhere to go
// is only read through, its digest kept.
TEST_F(Engine, ADownloadWithoutATargetIsReadThrough) {
  runner_.served = "copy";
  std::vector<TransferJob> jobs(1);
  jobs[0].transfer.url = "sftp://127.0.0.1:1/home/u/copy";
  RecordingReporter reporter(true);
  run_transfers(jobs, {1, true, {}}, reporter, runner_);
  EXPECT_TRUE(jobs[0].done());
  EXPECT_EQ(jobs[0].passed_sha256, digest::to_hex(digest::sha256_of("copy")));
}

TEST_F(Engine, AFailingTransferIsRetriedAloneWithItsOwnAttemptLines) {
  runner_.fails["part1"] = 2;
  auto jobs = uploads(3);
  RecordingReporter reporter(true);
  run_transfers(jobs, {3, true, {}}, reporter, runner_);
  const std::string& out = reporter.said;
  for (const auto& job : jobs) EXPECT_TRUE(job.done());
  EXPECT_EQ(runner_.calls["part0"], 1);
  EXPECT_EQ(runner_.calls["part1"], 3);
  EXPECT_EQ(runner_.calls["part2"], 1);
  EXPECT_NE(out.find("Error: upload file, attmpt[1] from 3\n"), std::string::npos);
  EXPECT_NE(out.find("Error: upload file, attmpt[2] from 3\n"), std::string::npos);
  EXPECT_EQ(out.find("attmpt[3]"), std::string::npos);
}

TEST_F(Engine, AFinalFailureStopsNewStarts) {
  runner_.fails["part0"] = 3;
  auto jobs = uploads(3);
  RecordingReporter reporter(false);
  run_transfers(jobs, {1, true, {}}, reporter, runner_);
  EXPECT_EQ(reporter.said, "");  // test off: silent
  EXPECT_EQ(jobs[0].outcome, TransferJob::Outcome::failed);
  EXPECT_EQ(runner_.calls["part0"], 3);
  EXPECT_EQ(runner_.calls.count("part1"), 0u);
  EXPECT_EQ(jobs[1].outcome, TransferJob::Outcome::waiting);
}

TEST_F(Engine, ARunningTransferIsWaitedForAfterAnotherFailed) {
  runner_.fails["part0"] = 3;
  runner_.fails["part1"] = 1;
  auto jobs = uploads(2);
  RecordingReporter reporter(false);
  run_transfers(jobs, {2, true, {}}, reporter, runner_);
  EXPECT_EQ(jobs[0].outcome, TransferJob::Outcome::failed);
  EXPECT_TRUE(jobs[1].done());  // its retry still ran
}

// Jobs made just before they start: in their order, each once (a retry is
// not made again), and a job that cannot be made stops the ones after it.
TEST_F(Engine, JobsMadeInTheirOrderJustBeforeTheyStart) {
  runner_.fails["part0"] = 1;
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
  run_transfers(jobs, {1, true, {}}, reporter, runner_);
  EXPECT_EQ(order, (std::vector<size_t>{0, 1, 2}));
  EXPECT_TRUE(jobs[0].done());
  EXPECT_TRUE(jobs[1].done());
  EXPECT_EQ(runner_.calls["part0"], 2);
  EXPECT_EQ(jobs[2].outcome, TransferJob::Outcome::unprepared);
  EXPECT_EQ(jobs[2].why.why(), "cannot be made");
  EXPECT_EQ(jobs[3].outcome, TransferJob::Outcome::waiting);
  EXPECT_EQ(runner_.calls.count("part3"), 0u);
}

// What the library calls done is checked: bytes the node does not hold as sent make
// a failed attempt, retried like any other, and the check's reason is told.
TEST_F(Engine, ATransferThatFailsItsCheckIsRetried) {
  auto jobs = uploads(2);
  int checks = 0;
  jobs[0].verify = [&](TransferJob&) {
    return ++checks == 1 ? Status::failure("digest differs") : Status::success();
  };
  jobs[1].verify = [](TransferJob&) { return Status::failure("size differs"); };
  RecordingReporter reporter(true);
  run_transfers(jobs, {2, false, {}, 0, 1}, reporter, runner_);
  EXPECT_TRUE(jobs[0].done());
  EXPECT_EQ(runner_.calls["part0"], 2);
  EXPECT_EQ(jobs[1].outcome, TransferJob::Outcome::failed);
  EXPECT_EQ(jobs[1].why.why(), "size differs");
  EXPECT_EQ(runner_.calls["part1"], 3);
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
  runner_.fails["part0"] = 1;
  auto jobs = uploads(2);
  RecordingReporter reporter(false);
  const auto begun = std::chrono::steady_clock::now();
  run_transfers(jobs, {2, true, {}, 0, 600}, reporter, runner_);
  const auto took = std::chrono::steady_clock::now() - begun;
  EXPECT_TRUE(jobs[0].done());
  EXPECT_TRUE(jobs[1].done());
  EXPECT_GE(took, std::chrono::milliseconds(300 + 2 * 200));  // the pause is at least half of 600
}

}  // namespace
}  // namespace morbs
