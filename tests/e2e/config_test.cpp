// client.config values outside their key's range: every program that reads
// the file refuses them, names the key on standard error, does nothing else
// and ends with a status that is not 0.
#include <gtest/gtest.h>

#include "platform/process.h"
#include "tests/e2e/support/certificate_fixture.h"
#include "tests/e2e/support/temp_dir.h"

namespace morbs::e2e {
namespace {

class Config : public ::testing::Test {
 protected:
  void SetUp() override {
    copy_certificate_to(dir_.path());
    dir_.write("upload.txt", "content\n");
    dir_.write("list.q", "");
  }
  platform::RunResult run(const std::string& name, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {program(name)};
    argv.insert(argv.end(), args.begin(), args.end());
    platform::RunOptions options;
    options.working_directory = dir_.str();
    options.timeout_ms = 60000;
    options.capture_error = true;
    auto r = platform::run_process(argv, options);
    EXPECT_TRUE(r && !r->timed_out) << name;
    return r ? *r : platform::RunResult{};
  }

  TempDir dir_{"config"};
};

TEST_F(Config, ValuesOutOfRangeAreRefusedNamingTheKey) {
  const struct {
    const char* line;
    const char* refusal;
  } values[] = {
      // 20 digits: no longer held at the end of an int, and no node port
      // computed beyond it.
      {"INIT_PORT_Q=99999999999999999999&", "INIT_PORT_Q=99999999999999999999 is out of range (1..65532)"},
      {"INIT_PORT_Q=0&", "INIT_PORT_Q=0 is out of range (1..65532)"},
      {"INIT_PORT_P=70000&", "INIT_PORT_P=70000 is out of range (1..65535)"},
      {"MIN_SIZE=-1&", "MIN_SIZE=-1 is out of range (1..9223372036854775807)"},
      {"INSTALLED_SERVERS=-2&", "INSTALLED_SERVERS=-2 is out of range (0..2147483647)"},
      {"TMIMEOUT_SEC=-1&", "TMIMEOUT_SEC=-1 is out of range (0..2147483647)"},
      {"TMIMEOUT_USEC=-1&", "TMIMEOUT_USEC=-1 is out of range (0..2147483647)"},
      {"TRANSFERS=0&", "TRANSFERS=0 is out of range (1..8)"},
      {"TRANSFERS=99&", "TRANSFERS=99 is out of range (1..8)"},
  };
  const struct {
    const char* program;
    std::vector<std::string> args;
  } runs[] = {
      {"pullbox", {"-ls"}},
      {"erasebox", {"-d", "x"}},
      {"pushbox", {"12345678903", "upload.txt", "upload.txt"}},
      {"pushbox", {"-clear_disaster"}},
  };
  for (const auto& v : values) {
    // The loopback address first, on a line of its own.
    dir_.write("client.config", std::string("IP_ADDR=127.0.0.1&\nTEST=1&\n") + v.line + "\n");
    for (const auto& r : runs) {
      SCOPED_TRACE(std::string(r.program) + " " + r.args[0] + " with " + v.line);
      platform::RunResult result = run(r.program, r.args);
      EXPECT_NE(result.exit_code, 0);
      EXPECT_EQ(result.error, std::string("client.config: ") + v.refusal + ", refused\n");
      EXPECT_EQ(result.output, "");
    }
  }
  // Nothing was planned or reserved.
  EXPECT_FALSE(std::filesystem::exists(dir_ / "zz-errors.txt"));
}

}  // namespace
}  // namespace morbs::e2e
