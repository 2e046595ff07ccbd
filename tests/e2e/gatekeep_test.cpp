// gatekeep, the real binary: the certificate it writes and how it fails.
#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/session/certificate.h"
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

size_t equal_bytes(const std::string& a, const std::string& b) {
  size_t same = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) same += a[i] == b[i];
  return same;
}

TEST(Gatekeep, WritesTheLocalUserAndHostThatTheProgramsAccept) {
  TempDir dir("gatekeep");
  dir.write("client.config", "IP_ADDR=127.0.0.1&\nINIT_PORT_Q=1&\nTEST=1&\n");
  auto written = run_in(dir, {program("gatekeep"), "-local"});
  ASSERT_EQ(written.exit_code, 0) << written.output;
  EXPECT_EQ(written.output, "");
  EXPECT_EQ(dir.read("crt.tmp").size(), 4096u);

  std::string local, second, message;
  ASSERT_EQ(read_certificate(local, second, message, (dir / "crt.tmp").string()), 1) << message;
  EXPECT_EQ(local, getpwuid(geteuid())->pw_name);
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  EXPECT_EQ(second, host);

  // erasebox checks the certificate before its options: with a good one and
  // no options it only prints its usage line.
  auto checked = run_in(dir, {program("erasebox")});
  EXPECT_EQ(checked.exit_code, 0);
  EXPECT_EQ(checked.output, "USE: erasebox [-h] for help\n");
}

TEST(Gatekeep, TwoCertificatesOfTheSameIdsDiffer) {
  TempDir shared("shared");
  copy_certificate_to(shared.path());
  const std::string first = shared.read("crt.tmp");

  TempDir dir("gatekeep");
  auto r = run_in(dir, {program("gatekeep"), "-local", "--local-id", certificate_user, "--second-id",
                        "host01"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  const std::string second = dir.read("crt.tmp");
  ASSERT_EQ(first.size(), 4096u);
  ASSERT_EQ(second.size(), 4096u);
  EXPECT_LT(equal_bytes(first, second), first.size() / 10);

  for (const TempDir* d : {&shared, &dir}) {
    std::string local, id2, message;
    EXPECT_EQ(read_certificate(local, id2, message, (*d / "crt.tmp").string()), 1) << message;
    EXPECT_EQ(local, certificate_user);
    EXPECT_EQ(id2, "host01");
  }
}

TEST(Gatekeep, ReportsWhyItCouldNotWrite) {
  TempDir dir("gatekeep");
  std::filesystem::create_directory(dir / "crt.tmp");  // the name is taken by a directory
  auto r = run_in(dir, {program("gatekeep"), "-local", "--local-id", "u"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.output, " can't open file to write\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "crt.tmp.part"));
}

// A FIFO in place of the certificate or of its scratch file holds nobody:
// gatekeep writes aside and renames, erasebox reads only a regular file.
TEST(Gatekeep, FifosInTheWayOfTheCertificate) {
  for (const char* name : {"crt.tmp", "crt.tmp.part"}) {
    SCOPED_TRACE(name);
    TempDir dir("gatekeep");
    dir.write("client.config", "IP_ADDR=127.0.0.1&\nINIT_PORT_Q=1&\nTEST=1&\n");
    ASSERT_EQ(::mkfifo((dir / name).c_str(), 0600), 0);
    if (std::string(name) == "crt.tmp") {
      auto refused = run_in(dir, {program("erasebox"), "-d", "x"});
      EXPECT_FALSE(refused.timed_out);
      EXPECT_EQ(refused.output, "CERTYFICATE: no created certificate\n\n Incorrect access card\n");
    }
    auto written = run_in(dir, {program("gatekeep"), "-local", "--local-id", certificate_user});
    EXPECT_FALSE(written.timed_out);
    EXPECT_EQ(written.exit_code, 0) << written.output;
    EXPECT_EQ(dir.read("crt.tmp").size(), 4096u);
    EXPECT_FALSE(std::filesystem::exists(dir / "crt.tmp.part"));
    auto accepted = run_in(dir, {program("erasebox")});
    EXPECT_EQ(accepted.output, "USE: erasebox [-h] for help\n");
  }
}

TEST(Gatekeep, CommandLine) {
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    const char* output_start;
  };
  const Case cases[] = {
      {{"--help"}, 0, "usage: gatekeep -local"},
      {{}, 2, "usage: gatekeep -local"},
      {{"-remote"}, 2, "usage: gatekeep -local"},
      {{"-local", "--local-id"}, 2, "usage: gatekeep -local"},
      {{"-local", "--local-id", std::string(2009, 'u')}, 1, " too long input string [1]\n"},
      {{"-local", "--local-id", ""}, 1, " no login name for the local user\n"},
  };
  for (const auto& c : cases) {
    TempDir dir("gatekeep");
    std::vector<std::string> argv{program("gatekeep")};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    auto r = run_in(dir, argv);
    const std::string what = c.args.empty() ? "(none)" : c.args[0] + " " + std::to_string(c.args.size());
    EXPECT_EQ(r.exit_code, c.exit_code) << what;
    EXPECT_EQ(r.output.rfind(c.output_start, 0), 0u) << what << ": " << r.output;
    EXPECT_FALSE(std::filesystem::exists(dir / "crt.tmp")) << what;
  }
}

}  // namespace
}  // namespace morbs::e2e
