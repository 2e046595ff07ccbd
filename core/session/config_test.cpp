#include "core/session/config.h"

#include <gtest/gtest.h>

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
    int r = read_config(s, path_.string(), offline());
    if (result) *result = r;
    return s;
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
  read("INIT_PORT_P=x&\n", Program::pullbox, &result);
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
      {"INSTALLED_SERVERS=-1&", Program::pullbox, nullptr, &Settings::curr_nr_serv, -1},
      {"INSTALLED_SERVERS=abc&", Program::pullbox, nullptr, &Settings::curr_nr_serv, 4},
      {"TMIMEOUT_SEC=45&", Program::pullbox, nullptr, &Settings::timeout_seconds, 30},
      {"TMIMEOUT_SEC=-5&", Program::pullbox, nullptr, &Settings::timeout_seconds, -5},
      {"TMIMEOUT_USEC=50&", Program::pullbox, nullptr, &Settings::timeout_microsec, 100000},
      {"TMIMEOUT_USEC=999999&", Program::pullbox, nullptr, &Settings::timeout_microsec, 990000},
      {"TMIMEOUT_USEC=250000&", Program::pullbox, nullptr, &Settings::timeout_microsec, 250000},
      {"MIN_SIZE=0&", Program::pullbox, &Settings::min_fsize, nullptr, 1073741824},
      {"MIN_SIZE=abc&", Program::pullbox, &Settings::min_fsize, nullptr, 1073741824},
      {"MIN_SIZE=5k&", Program::pullbox, &Settings::min_fsize, nullptr, 5},
      {"MIN_SIZE=99999999999999999999&", Program::pullbox, &Settings::min_fsize, nullptr, 1073741824},
      {"MIN_SIZE=-3&", Program::pullbox, &Settings::min_fsize, nullptr, 1073741824},
      {"INIT_PORT_Q=  +9301x&", Program::pullbox, nullptr, &Settings::init_port, 9301},
      {"INIT_PORT_Q=99999999999999&", Program::pullbox, nullptr, &Settings::init_port, INT32_MAX},
      {"MATRIX_MODE=-7&", Program::pullbox, nullptr, &Settings::mat_mode, -7},
      {"TRANSFERS=4&", Program::pushbox, nullptr, &Settings::transfers, 4},
      {"TRANSFERS=0&", Program::pushbox, nullptr, &Settings::transfers, 1},
      {"TRANSFERS=-2&", Program::pullbox, nullptr, &Settings::transfers, 1},
      {"TRANSFERS=9&", Program::pullbox, nullptr, &Settings::transfers, 8},
      {"TRANSFERS=many&", Program::pullbox, nullptr, &Settings::transfers, 1},
  };
  for (const auto& c : cases) {
    auto s = read(std::string(c.line) + "\n", c.program);
    int64_t got = c.wide ? s.*(c.wide) : s.*(c.narrow);
    EXPECT_EQ(got, c.expected) << c.line;
  }
}

TEST_F(ConfigFile, AnAddressTooLongForItsFieldIsRefused) {
  auto s = read("IP_ADDR=127.000.000.001.000.1&\n");
  EXPECT_EQ(s.ip_addr, "null");
}

}  // namespace
}  // namespace morbs
