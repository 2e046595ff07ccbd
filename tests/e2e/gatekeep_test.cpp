#include <gtest/gtest.h>

#include "platform/process.h"
#include "tests/e2e/support/certificate_fixture.h"
#include "tests/e2e/support/temp_dir.h"

namespace morbs::e2e {
namespace {

platform::RunResult run_in(const TempDir& dir, std::vector<std::string> argv) {
  platform::RunOptions options;
  options.working_directory = dir.str();
  options.timeout_ms = 20000;
  auto r = platform::run_process(argv, options);
  return r.value_or(platform::RunResult{});
}

TEST(Gatekeep, WritesACertificateThatTheProgramsAccept) {
  TempDir dir("gatekeep");
  dir.write("client.config", "IP_ADDR=127.0.0.1&\nINIT_PORT_Q=1&\nTEST=1&\n");
  auto written = run_in(dir, {program("gatekeep"), "-local"});
  ASSERT_EQ(written.exit_code, 0) << written.output;
  const std::string first = dir.read("crt.tmp");
  EXPECT_EQ(first.size(), 4096u);

  // erasebox checks the certificate before its options: with a good one and
  // no options it only prints its usage line.
  auto checked = run_in(dir, {program("erasebox")});
  EXPECT_EQ(checked.exit_code, 0);
  EXPECT_EQ(checked.output, "USE: erasebox [-h] for help\n");

  ASSERT_EQ(run_in(dir, {program("gatekeep"), "-local"}).exit_code, 0);
  const std::string second = dir.read("crt.tmp");
  ASSERT_EQ(second.size(), 4096u);
  size_t same = 0;
  for (size_t i = 0; i < first.size(); ++i) same += first[i] == second[i];
  EXPECT_LT(same, first.size() / 10);
}

TEST(Gatekeep, ReportsWhyItCouldNotWrite) {
  TempDir dir("gatekeep");
  std::filesystem::create_directory(dir / "crt.tmp");  // the name is taken by a directory
  auto r = run_in(dir, {program("gatekeep"), "-local", "--local-id", "u"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.output, " can't open file to write\n");
}

}  // namespace
}  // namespace morbs::e2e
