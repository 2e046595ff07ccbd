#include "platform/process.h"

#include <gtest/gtest.h>

namespace morbs::platform {
namespace {

TEST(RunProcess, ArgumentsArriveIntactWithoutAShell) {
  const std::string tricky = "a b \"q\" & # | $HOME `x` ;";
  auto r = run_process({"printf", "%s", tricky});
  ASSERT_TRUE(r);
  EXPECT_EQ(r->exit_code, 0);
  EXPECT_EQ(r->output, tricky);
}

TEST(RunProcess, ReportsExitCodeInputAndWorkingDirectory) {
  RunOptions options;
  options.working_directory = "/tmp";
  options.standard_input = "hi\n";
  auto r = run_process({"sh", "-c", "cat; pwd; exit 3"}, options);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->exit_code, 3);
  EXPECT_EQ(r->output, "hi\n/tmp\n");
}

TEST(RunProcess, AProgramNotOnThePathCannotBeStarted) {
  EXPECT_FALSE(run_process({"no-such-program-morbs"}));
}

TEST(RunProcess, TimeoutKillsTheChild) {
  RunOptions options;
  options.timeout_ms = 200;
  auto r = run_process({"sleep", "10"}, options);
  ASSERT_TRUE(r);
  EXPECT_TRUE(r->timed_out);
}

TEST(BackgroundProcess, StopsWithSigterm) {
  BackgroundProcess p;
  ASSERT_TRUE(p.start({"sleep", "10"}));
  EXPECT_TRUE(p.running());
  EXPECT_EQ(p.stop(), 128 + 15);
  EXPECT_FALSE(p.running());
}

}  // namespace
}  // namespace morbs::platform
