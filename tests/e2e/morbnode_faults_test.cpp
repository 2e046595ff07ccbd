// The node's fault switches as a client sees them, and the node as a process:
// bad options, a port in use, a clean stop.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/wire/op_message.h"
#include "core/wire/query_string.h"
#include "platform/clock.h"
#include "platform/loopback_listener.h"
#include "platform/process.h"
#include "tests/e2e/support/certificate_fixture.h"
#include "tests/e2e/support/datanet.h"
#include "tests/e2e/support/temp_dir.h"

namespace morbs::e2e {
namespace {

struct FaultCase {
  std::vector<std::string> options;
  int result;           // of op_message
  std::string message;  // what the buffer holds afterwards ("" : no SN in it)
};

TEST(MorbnodeFaults, EachSwitchAsTheExchangeSeesIt) {
  const FaultCase cases[] = {
      {{}, 0, "SN=1&"},
      {{"--refuse-all"}, -1, "null"},
      {{"--answer-delay-ms", "100"}, 0, "SN=1&"},
      {{"--answer-delay-ms", "600"}, -1, "TEST=H00&"},  // past the 300 ms receive time-out
      {{"--never-answer"}, -1, "TEST=H00&"},
      {{"--close-without-answer"}, 0, ""},
  };
  TempDir dir("faults");
  DataNet net(dir.path(), 1);
  for (const auto& c : cases) {
    net.start(0, c.options);
    std::string message = "TEST=H00&";
    EXPECT_EQ(op_message("127.0.0.1", net.query_port(0), message, 0, {1, 0}), c.result)
        << c.options.size();
    if (c.message.empty()) {
      std::string sn;
      EXPECT_EQ(select_value(message, "SN", sn), -1);
    } else {
      EXPECT_EQ(message, c.message);
    }
  }
  // Every request reached the log, also those never answered.
  const std::string log = net.log(0);
  size_t count = 0;
  for (size_t at = log.find("TEST=H00&\n"); at != std::string::npos; at = log.find("TEST=H00&\n", at + 1))
    ++count;
  EXPECT_EQ(count, std::size(cases));
}

TEST(MorbnodeFaults, CapacityPerArea) {
  TempDir dir("faults");
  DataNet net(dir.path(), 1, {{"--capacity-accounts", "10", "--capacity-accounts1", "0"}});
  EXPECT_EQ(net.request(0, "OP=currentspace&"), "ACCOUNTS=10&ACCOUNTS1=0&");
  std::string status;
  select_value(net.request(0, "OP=resv&ID=12345678903&DISK=accounts1&FN=1:a&FSZ=1&"), "STATUS", status);
  EXPECT_EQ(status, "refused");
}

// --refuse-op: the named operation is refused, every other one is served.
TEST(MorbnodeFaults, RefuseOpRefusesOnlyThatOperation) {
  const std::string id = "12345678903";
  const std::string add = "OP=listfiles&SUB=add&FN=1:a&ID=" + id + "&UID32=u&ORG=0&PORT=1&DISK=accounts&";
  const std::string chg = "OP=listfiles&SUB=chg&DISK=accounts&FN=1:a&ID=" + id + "&CURRNEW=locked&";
  const std::vector<std::string> requests = {
      "TEST=H00&", "OP=chkaccount&ID=" + id + "&", "OP=currentspace&", "OP=sshpasswd&", "OP=timeprec&",
      "OP=resv&ID=" + id + "&DISK=accounts&FN=1:b&FSZ=1&", add, chg,
      "OP=listARCHI&SUB=add&ID=" + id + "&DISK=accounts&FN=1:a&",
      "OP=chkfile&ID=" + id + "&DISK=accounts&PFN=1:a&"};
  struct Case {
    std::vector<std::string> refused_ops;
    std::vector<std::string> refused;  // the requests answered with the refusal
  };
  const Case cases[] = {
      {{"resv"}, {requests[5]}},
      {{"listfiles"}, {add, chg}},
      {{"listfiles-add"}, {add}},
      {{"listfiles-chg", "timeprec"}, {chg, "OP=timeprec&"}},
      {{"sshpasswd", "chkaccount", "currentspace"}, {requests[1], requests[2], requests[3]}},
      {{"listARCHI", "chkfile"}, {requests[8], requests[9]}},
  };
  TempDir dir("faults");
  DataNet net(dir.path(), 1);
  // The account exists, so that every request has something to answer.
  net.store_copy(0, id, "accounts", "1:a", "x", "u", 0);
  for (const auto& c : cases) {
    std::vector<std::string> options;
    for (const auto& op : c.refused_ops) options.insert(options.end(), {"--refuse-op", op});
    net.start(0, options);
    for (const auto& r : requests) {
      const bool refused = std::find(c.refused.begin(), c.refused.end(), r) != c.refused.end();
      // The exchange fails on the refusal and only on it.
      EXPECT_EQ(net.request(0, r).empty(), refused) << c.refused_ops[0] << ": " << r;
    }
  }
}

TEST(MorbnodeFaults, SftpOffAdvertisesThePortButNothingListens) {
  TempDir dir("faults");
  DataNet net(dir.path(), 1, {{"--sftp-off"}});
  EXPECT_EQ(net.request(0, "OP=sshpasswd&"),
            "PA=node1:pass1&PORT_SFTP=" + std::to_string(net.sftp_port(0)) + "&");
  platform::RunOptions options;
  options.merge_standard_error = true;
  options.timeout_ms = 20000;
  auto curl = platform::run_process({"curl", "-sS", "-k", "--user", "node1:pass1", "-o",
                                     (dir / "x").string(),
                                     "sftp://127.0.0.1:" + std::to_string(net.sftp_port(0)) + "/home/"},
                                    options).value_or(platform::RunResult{});
  EXPECT_EQ(curl.exit_code, 7) << curl.output;  // could not connect
  // Started again without the switch, the same node serves SFTP.
  net.start(0);
  platform::TcpSocket probe;
  probe.open();
  EXPECT_TRUE(probe.connect_within("127.0.0.1", net.sftp_port(0), 1, 0));  // up before the query port
}

platform::RunResult run_node(const std::vector<std::string>& args) {
  platform::BackgroundProcess node;
  std::vector<std::string> argv = {program("morbnode")};
  argv.insert(argv.end(), args.begin(), args.end());
  platform::RunOptions options;
  options.merge_standard_error = true;
  options.timeout_ms = 10000;
  return platform::run_process(argv, options).value_or(platform::RunResult{});
}

TEST(MorbnodeProcess, BadOptionsAndAPortInUseEndWithAReason) {
  TempDir dir("process");
  auto bad = run_node({"--root", dir.str(), "--port", "70000"});
  EXPECT_EQ(bad.exit_code, 2);
  EXPECT_NE(bad.output.find("--port"), std::string::npos) << bad.output;
  auto unknown = run_node({"--root", dir.str(), "--frobnicate"});
  EXPECT_EQ(unknown.exit_code, 2);
  EXPECT_NE(unknown.output.find("unknown option: --frobnicate"), std::string::npos);

  platform::LoopbackListener taken;
  ASSERT_TRUE(taken.listen(0));
  auto busy = run_node({"--root", dir.str(), "--port", std::to_string(taken.port())});
  EXPECT_EQ(busy.exit_code, 1);
  EXPECT_NE(busy.output.find(std::to_string(taken.port())), std::string::npos) << busy.output;
}

TEST(MorbnodeProcess, HelpListsEveryOption) {
  const auto help = run_node({"--help"});
  EXPECT_EQ(help.exit_code, 0);
  for (const char* option :
       {"--root", "--sn", "--port", "--sftp-port", "--user", "--password", "--capacity", "--refuse-all",
        "--answer-delay-ms", "--never-answer", "--close-without-answer", "--refuse-op", "--sftp-off",
        "--disk-full-at", "--log", "--reservation-expiry-s", "--sftp-sessions", "--sftp-queue-wait-s",
        "--no-digest", "--corrupt-uploads", "--sftp-stall-after", "--sftp-fail-opens",
        "--sftp-fail-name", "--ask"})
    EXPECT_NE(help.output.find(std::string(option) + " "), std::string::npos) << option;
}

TEST(MorbnodeProcess, StopsCleanlyOnTerm) {
  TempDir dir("process");
  DataNet net(dir.path(), 1);
  ASSERT_EQ(net.request(0, "TEST=H00&"), "SN=1&");
  // The port of the fixture's node, freed, for a node of this test's own.
  net.stop(0);
  platform::LoopbackListener probe;
  EXPECT_TRUE(probe.listen(net.query_port(0)));  // the port is free again
  probe.close();
  platform::BackgroundProcess node;
  std::vector<std::string> argv = {program("morbnode"), "--root", (dir / "solo").string(),
                                   "--port", std::to_string(net.query_port(0))};
  ASSERT_TRUE(node.start(argv, {}, (dir / "solo.out").string()));
  for (int i = 0; i < 250 && net.request(0, "TEST=H00&").empty(); ++i) platform::sleep_microseconds(20000);
  EXPECT_EQ(net.request(0, "TEST=H00&"), "SN=1&");
  EXPECT_EQ(node.stop(5000), 0) << read_file(dir / "solo.out");
}

}  // namespace
}  // namespace morbs::e2e
