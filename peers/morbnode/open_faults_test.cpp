// --sftp-fail-opens and --sftp-fail-name: what is taken, and which opens a
// node refuses.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "peers/morbnode/open_faults.h"
#include "peers/morbnode/options.h"

namespace morbs::node {
namespace {

Options parsed(std::vector<std::string> args) {
  args.insert(args.begin(), {"--root", "/tmp/unused"});
  std::string error;
  auto options = parse_options(args, error);
  EXPECT_TRUE(options) << error;
  return options.value_or(Options{});
}

TEST(OpenFaults, OptionValuesTakenAndRefused) {
  const struct {
    std::vector<std::string> args;
    bool taken;
  } cases[] = {
      {{"--sftp-fail-opens", "2"}, true},       {{"--sftp-fail-opens", "0"}, true},
      {{"--sftp-fail-opens", "-1"}, false},     {{"--sftp-fail-opens", "2x"}, false},
      {{"--sftp-fail-opens"}, false},           {{"--sftp-fail-name", "bad.bin"}, true},
      {{"--sftp-fail-name", ""}, false},        {{"--sftp-fail-name"}, false},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"--root", "/tmp/unused"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    std::string error;
    EXPECT_EQ(parse_options(args, error).has_value(), c.taken) << args.back() << ": " << error;
  }
  EXPECT_EQ(parsed({"--sftp-fail-opens", "3"}).sftp_fail_opens, 3);
  EXPECT_EQ(parsed({"--sftp-fail-name", "bad.bin"}).sftp_fail_name, "bad.bin");
  EXPECT_NE(std::string(usage_text).find("--sftp-fail-opens N"), std::string::npos);
  EXPECT_NE(std::string(usage_text).find("--sftp-fail-name TEXT"), std::string::npos);
}

TEST(OpenFaults, TheFirstOpensAndThoseOfANameAreRefused) {
  OpenFaults none(parsed({}));
  EXPECT_FALSE(none.refuse("/home/a/bad.bin"));

  OpenFaults first(parsed({"--sftp-fail-opens", "2"}));
  EXPECT_TRUE(first.refuse("/a"));
  EXPECT_TRUE(first.refuse("/b"));
  EXPECT_FALSE(first.refuse("/a"));
  EXPECT_FALSE(first.refuse("/c"));

  OpenFaults named(parsed({"--sftp-fail-name", "bad.bin", "--sftp-fail-opens", "1"}));
  EXPECT_TRUE(named.refuse("/x/good.bin"));  // the first open, whatever its name
  EXPECT_FALSE(named.refuse("/x/good.bin"));
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(named.refuse("/x/1234:bad.bin:2"));
  EXPECT_FALSE(named.refuse("/x/bad.bi"));
}

// Sessions run on threads of their own: N in all are refused, never more.
TEST(OpenFaults, TheFirstOpensAreCountedOverAllSessions) {
  OpenFaults faults(parsed({"--sftp-fail-opens", "100"}));
  std::atomic<int> refused{0};
  std::vector<std::thread> sessions;
  for (int t = 0; t < 4; ++t)
    sessions.emplace_back([&] {
      for (int i = 0; i < 200; ++i)
        if (faults.refuse("/f")) ++refused;
    });
  for (auto& s : sessions) s.join();
  EXPECT_EQ(refused.load(), 100);
}

}  // namespace
}  // namespace morbs::node
