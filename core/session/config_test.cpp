#include "core/session/config.h"

#include <gtest/gtest.h>

#include "core/report/reporter.h"

#include <filesystem>
#include <fstream>

namespace morbs {
namespace {

class ConfigFile : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = std::filesystem::temp_directory_path() /
            ("morbs_config_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  void TearDown() override { std::filesystem::remove(path_); }

  Settings read(const std::string& content, Program program = Program::pullbox, int* result = nullptr) {
    std::ofstream(path_, std::ios::binary) << content;
    Settings s = Settings::defaults(program);
    RecordingReporter reporter;
    Result<bool> r = read_config(s, reporter, path_.string(), offline());
    EXPECT_TRUE(r.ok()) << r.why();
    if (result) *result = r && *r ? 0 : -1;
    return s;
  }
  // Why the content is refused; empty when it is taken.
  std::string refusal(const std::string& content, Program program = Program::pullbox) {
    std::ofstream(path_, std::ios::binary) << content;
    Settings s = Settings::defaults(program);
    RecordingReporter reporter;
    return read_config(s, reporter, path_.string(), offline()).why();
  }
  // Host names are never resolved here: no server is listed.
  static DnsOptions offline() {
    DnsOptions o;
    o.resolv_conf_path = "/nonexistent";
    o.fallback_server = "127.0.0.1";
    o.port = 9;
    o.reply_wait_ms = 100;
    return o;
  }
  std::filesystem::path path_;
};

TEST(SettingsDefaults, DifferByProgram) {
  auto pull = Settings::defaults(Program::pullbox);
  auto push = Settings::defaults(Program::pushbox);
  auto erase = Settings::defaults(Program::erasebox);
  EXPECT_EQ(pull.ip_addr, "127.0.0.1");
  EXPECT_EQ(push.ip_addr, "10.0.0.4");
  EXPECT_EQ(erase.ip_addr, "10.0.0.4");
  EXPECT_EQ(pull.timeout_seconds, 0);
  EXPECT_EQ(push.timeout_seconds, 3);
  EXPECT_EQ(erase.curr_nr_serv, 12);
  EXPECT_EQ(push.curr_nr_serv, 4);
  for (const auto& s : {pull, push, erase}) {
    EXPECT_EQ(s.init_port, 9201);
    EXPECT_EQ(s.init_port_p, 9901);
    EXPECT_EQ(s.min_fsize, 1000000);
    EXPECT_EQ(s.timeout_microsec, 150000);
    EXPECT_EQ(s.mat_mode, 0);
    EXPECT_EQ(s.test, 1);
    EXPECT_EQ(s.transfers, 1);
  }
}

TEST_F(ConfigFile, MissingFileKeepsDefaults) {
  Settings s = Settings::defaults(Program::pushbox);
  EXPECT_EQ(read_config(s, "/nonexistent/client.config"), -1);
  EXPECT_EQ(s.ip_addr, "10.0.0.4");
}

TEST_F(ConfigFile, ValidOnlyWithAPortKey) {
  int result = 0;
  auto s = read("IP_ADDR=1.2.3.4&\n", Program::pullbox, &result);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(s.ip_addr, "1.2.3.4");
  read("INIT_PORT_P=9901&\n", Program::pullbox, &result);
  EXPECT_EQ(result, 0);
}

TEST_F(ConfigFile, QuirksOfLinesAndComments) {
  auto s = read("IP_ADDR=10.1.2.3\n");
  EXPECT_EQ(s.ip_addr, "127.0.0.1");  // no closing "&"
  s = read(" #INIT_PORT_Q=1&\n");
  EXPECT_EQ(s.init_port, 1);  // a blank before "#": no comment
  s = read("#INIT_PORT_Q=1&\n");
  EXPECT_EQ(s.init_port, 9201);
  s = read("MYTEST=1&\n");
  EXPECT_EQ(s.test, 1);
  s = read("TEST=1&\nMIN_SIZE=5&\n");
  EXPECT_EQ(s.test, 0);
  EXPECT_EQ(s.min_fsize, 5);
  s = read("TEST=1&\n\n");
  EXPECT_EQ(s.test, 0);  // an empty line sets the flag to 0
  s = read("TEST=1&\n#comment\n");
  EXPECT_EQ(s.test, 1);
  s = read("IP_ADDR=&\n");
  EXPECT_EQ(s.ip_addr, "");
  s = read("INIT_PORT_Q=9301&TEST=1&MIN_SIZE=7&\n");
  EXPECT_EQ(s.init_port, 9301);
  EXPECT_EQ(s.min_fsize, 7);
  EXPECT_EQ(s.test, 1);
}

TEST_F(ConfigFile, ALineOverNineHundredNinetyNineCharactersIsReadAsSeveral) {
  // The second chunk starts with the key: it counts as a line of its own.
  std::string long_line(999, 'x');
  auto s = read(long_line + "INIT_PORT_Q=42&\n");
  EXPECT_EQ(s.init_port, 42);
  // A key cut across the chunk boundary is lost.
  std::string cut(995, 'x');
  s = read(cut + "INIT_PORT_Q=42&\n");
  EXPECT_EQ(s.init_port, 9201);
}

struct BoundCase {
  const char* line;
  Program program;
  int64_t Settings::*wide;
  int Settings::*narrow;
  int64_t expected;
};

TEST_F(ConfigFile, BoundsOfNumbers) {
  const BoundCase cases[] = {
      {"INSTALLED_SERVERS=0&", Program::pullbox, nullptr, &Settings::curr_nr_serv, 4},
      {"INSTALLED_SERVERS=0&", Program::erasebox, nullptr, &Settings::curr_nr_serv, 12},
      {"INSTALLED_SERVERS=9&", Program::pushbox, nullptr, &Settings::curr_nr_serv, 4},
      {"INSTALLED_SERVERS=9&", Program::erasebox, nullptr, &Settings::curr_nr_serv, 9},
      {"INSTALLED_SERVERS=abc&", Program::pullbox, nullptr, &Settings::curr_nr_serv, 4},
      {"TMIMEOUT_SEC=45&", Program::pullbox, nullptr, &Settings::timeout_seconds, 30},
      {"TMIMEOUT_SEC=0&", Program::pushbox, nullptr, &Settings::timeout_seconds, 0},
      {"TMIMEOUT_USEC=50&", Program::pullbox, nullptr, &Settings::timeout_microsec, 100000},
      {"TMIMEOUT_USEC=999999&", Program::pullbox, nullptr, &Settings::timeout_microsec, 990000},
      {"TMIMEOUT_USEC=250000&", Program::pullbox, nullptr, &Settings::timeout_microsec, 250000},
      {"MIN_SIZE=5k&", Program::pullbox, &Settings::min_fsize, nullptr, 5},
      {"MIN_SIZE=9223372036854775807&", Program::pullbox, &Settings::min_fsize, nullptr, INT64_MAX},
      {"INIT_PORT_Q=  +9301x&", Program::pullbox, nullptr, &Settings::init_port, 9301},
      {"INIT_PORT_Q=65532&", Program::pullbox, nullptr, &Settings::init_port, 65532},
      {"INIT_PORT_P=65535&", Program::pullbox, nullptr, &Settings::init_port_p, 65535},
      {"MATRIX_MODE=-7&", Program::pullbox, nullptr, &Settings::mat_mode, -7},
      {"TRANSFERS=4&", Program::pushbox, nullptr, &Settings::transfers, 4},
      {"TRANSFERS=8&", Program::pullbox, nullptr, &Settings::transfers, 8},
      {"TRANSFERS=1&", Program::pullbox, nullptr, &Settings::transfers, 1},
  };
  for (const auto& c : cases) {
    auto s = read(std::string(c.line) + "\n", c.program);
    int64_t got = c.wide ? s.*(c.wide) : s.*(c.narrow);
    EXPECT_EQ(got, c.expected) << c.line;
  }
}

// A value outside its key's range is never taken, clamped or wrapped: the
// reading stops with the key named, and the program ends on it.
TEST_F(ConfigFile, ValuesOutOfRangeAreRefusedNamingTheKey) {
  const struct {
    const char* content;
    const char* why;
  } cases[] = {
      {"INIT_PORT_Q=99999999999999999999&\n",
       "client.config: INIT_PORT_Q=99999999999999999999 is out of range (1..65532), refused"},
      {"INIT_PORT_Q=65533&\n", "client.config: INIT_PORT_Q=65533 is out of range (1..65532), refused"},
      {"INIT_PORT_Q=0&\n", "client.config: INIT_PORT_Q=0 is out of range (1..65532), refused"},
      {"INIT_PORT_Q=x&\n", "client.config: INIT_PORT_Q=x is out of range (1..65532), refused"},
      {"INIT_PORT_P=-1&\n", "client.config: INIT_PORT_P=-1 is out of range (1..65535), refused"},
      {"INIT_PORT_P=65536&\n", "client.config: INIT_PORT_P=65536 is out of range (1..65535), refused"},
      {"MIN_SIZE=0&\n", "client.config: MIN_SIZE=0 is out of range (1..9223372036854775807), refused"},
      {"MIN_SIZE=-3&\n", "client.config: MIN_SIZE=-3 is out of range (1..9223372036854775807), refused"},
      {"MIN_SIZE=99999999999999999999&\n",
       "client.config: MIN_SIZE=99999999999999999999 is out of range (1..9223372036854775807), refused"},
      {"INSTALLED_SERVERS=-1&\n",
       "client.config: INSTALLED_SERVERS=-1 is out of range (0..2147483647), refused"},
      {"TMIMEOUT_SEC=-5&\n", "client.config: TMIMEOUT_SEC=-5 is out of range (0..2147483647), refused"},
      {"TMIMEOUT_USEC=99999999999&\n",
       "client.config: TMIMEOUT_USEC=99999999999 is out of range (0..2147483647), refused"},
      {"MATRIX_MODE=2147483648&\n",
       "client.config: MATRIX_MODE=2147483648 is out of range (-2147483648..2147483647), refused"},
      {"TRANSFERS=0&\n", "client.config: TRANSFERS=0 is out of range (1..8), refused"},
      {"TRANSFERS=9&\n", "client.config: TRANSFERS=9 is out of range (1..8), refused"},
      {"TRANSFERS=many&\n", "client.config: TRANSFERS=many is out of range (1..8), refused"},
      // The value is shown, its control characters as "?".
      {"TRANSFERS=\x1b[2J&\n", "client.config: TRANSFERS=?[2J is out of range (1..8), refused"},
      // Found on a later line, after good ones.
      {"INIT_PORT_Q=9201&\nTEST=1&\nINIT_PORT_P=0&\n",
       "client.config: INIT_PORT_P=0 is out of range (1..65535), refused"},
  };
  for (const auto& c : cases) EXPECT_EQ(refusal(c.content), c.why) << c.content;
  EXPECT_EQ(refusal("INIT_PORT_Q=9201&\n# INIT_PORT_Q=0&\n"), "");
}

TEST_F(ConfigFile, AnAddressTooLongForItsFieldIsRefused) {
  auto s = read("IP_ADDR=127.000.000.001.000.1&\n");
  EXPECT_EQ(s.ip_addr, "null");
}

}  // namespace
}  // namespace morbs
