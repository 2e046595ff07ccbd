// scripts/datanet as users and benchmarks run it: a network shaped through
// the proxy, and one node stopped, started again and wiped alone.
#include <gtest/gtest.h>

#include <chrono>

#include "core/wire/op_message.h"
#include "core/wire/query_string.h"
#include "platform/loopback_listener.h"
#include "platform/process.h"
#include "tests/e2e/support/certificate_fixture.h"
#include "tests/e2e/support/free_ports.h"
#include "tests/e2e/support/temp_dir.h"

namespace morbs::e2e {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string id = "12345678903";

// The query and SFTP ports, and the nodes' own ports 50 higher when a proxy
// stands in front of them.
int free_base_port() { return e2e::free_base_port({0, 1, 50, 51, 100, 101, 150, 151}); }

// Whether `pid` is alive and runs `program`.
bool runs(int pid, const std::string& program) {
  const std::string command = read_file("/proc/" + std::to_string(pid) + "/cmdline");
  const std::string first = command.substr(0, command.find('\0'));
  return pid > 0 && first.size() >= program.size() + 1 &&
         first.compare(first.size() - program.size() - 1, std::string::npos, "/" + program) == 0;
}

platform::RunResult datanet(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"env", "MORBS_BIN_DIR=" + std::string(MORBS_BIN_DIR),
                                   std::string(MORBS_SOURCE_DIR) + "/scripts/datanet"};
  argv.insert(argv.end(), args.begin(), args.end());
  platform::RunOptions options;
  options.merge_standard_error = true;
  options.timeout_ms = 60000;
  auto result = platform::run_process(argv, options);
  if (!result) throw std::runtime_error("cannot run scripts/datanet");
  return *result;
}

// One exchange with whatever listens on `port`; "" when it failed.
std::string ask(int port, const std::string& request) {
  std::string message = request;
  if (op_message("127.0.0.1", port, message, 0, {2, 0}) != 0) return "";
  return message;
}

std::string value(const std::string& reply, const char* key) {
  std::string v;
  select_value(reply, key, v);
  return v;
}

// Takes the network down whatever the test did.
class Network {
 public:
  explicit Network(const TempDir& dir) : dir_(dir.str()) {}
  ~Network() { datanet({"down", dir_}); }

 private:
  std::string dir_;
};

TEST(DatanetScript, AShapedNetworkIsReachedThroughTheProxyOnly) {
  TempDir dir("datanet");
  const int base = free_base_port();
  Network network(dir);
  auto up = datanet({"up", dir.str(), "--nodes", "2", "--base-port", std::to_string(base),
                     "--latency", "50", "--rate", "100"});
  ASSERT_EQ(up.exit_code, 0) << up.output;
  EXPECT_NE(up.output.find("50 ms each way, 100 Mbit/s each way"), std::string::npos) << up.output;
  // The client is told how long a node's answer takes on this link.
  EXPECT_EQ(dir.read("client.config"),
            "IP_ADDR=127.0.0.1&\nINIT_PORT_Q=" + std::to_string(base) + "&\nANSWER_WAIT_MS=700&\nTEST=1&\n");

  // The client's port is the proxy's: a new connection and one exchange are
  // two round trips of 100 ms (the connection's is the proxy's --handshake).
  // The node itself, 50 ports up, answers at once and tells the proxy's SFTP
  // port all the same.
  const auto start = Clock::now();
  const std::string through = ask(base + 1, "OP=sshpasswd&");
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  EXPECT_EQ(through, "PA=node2:pass2&PORT_SFTP=" + std::to_string(base + 101) + "&");
  EXPECT_GE(elapsed.count(), 200);
  EXPECT_LT(elapsed.count(), 2000);
  EXPECT_EQ(ask(base + 51, "OP=sshpasswd&"), through);

  // curl's SFTP goes through the proxy to the node's SFTP service.
  platform::RunOptions bounded;
  bounded.merge_standard_error = true;
  bounded.timeout_ms = 30000;
  auto curl = platform::run_process(
      {"curl", "-sS", "-k", "--user", "node1:pass1",
       "sftp://127.0.0.1:" + std::to_string(base + 100) + "/home/node1/MORBS-SYSTEM/MORB1/"},
      bounded);
  ASSERT_TRUE(curl);
  EXPECT_EQ(curl->exit_code, 0) << curl->output;

  // Gone is told by the processes, not by the ports: a port given back may
  // be another test's a moment later.
  const std::vector<std::pair<fs::path, std::string>> started = {
      {dir / "netdelay.pid", "netdelay"}, {dir / "node1.pid", "morbnode"}, {dir / "node2.pid", "morbnode"}};
  std::vector<int> pids;
  for (const auto& [file, program] : started) {
    pids.push_back(std::atoi(read_file(file).c_str()));
    ASSERT_TRUE(runs(pids.back(), program)) << file;
  }
  auto down = datanet({"down", dir.str()});
  EXPECT_EQ(down.exit_code, 0) << down.output;
  for (size_t i = 0; i < started.size(); ++i) EXPECT_FALSE(runs(pids[i], started[i].second)) << started[i].first;
}

TEST(DatanetScript, OneNodeStopsStartsAgainAndIsWipedAlone) {
  TempDir dir("datanet");
  const int base = free_base_port();
  Network network(dir);
  auto up = datanet({"up", dir.str(), "--nodes", "2", "--base-port", std::to_string(base), "--",
                     "--capacity", "1000"});
  ASSERT_EQ(up.exit_code, 0) << up.output;
  const int node2 = base + 1;
  auto resv = ask(node2, "OP=resv&ID=" + id + "&DISK=accounts&FN=1514764800000000005:a&FSZ=300&");
  ASSERT_EQ(value(resv, "STATUS"), "done") << resv;

  struct Step {
    std::string action, says, space;  // space: node 2's answer to currentspace afterwards
  };
  const Step steps[] = {
      {"stop", "node 2 stopped", ""},
      {"stop", "node 2 is not running", ""},
      {"start", "node 2 started", "ACCOUNTS=700&ACCOUNTS1=1000&"},  // its state and its options
      {"start", "node 2 is already running", "ACCOUNTS=700&ACCOUNTS1=1000&"},
      {"wipe", "node 2 wiped", ""},
      {"start", "node 2 started", "ACCOUNTS=1000&ACCOUNTS1=1000&"},  // empty
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.action);
    auto run = datanet({"node", dir.str(), "2", step.action});
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(run.output.rfind(step.says, 0), 0u) << run.output;
    EXPECT_EQ(ask(node2, "OP=currentspace&"), step.space);
    EXPECT_EQ(ask(base, "TEST=H00&"), "SN=1&");  // the other node never minds
  }
  EXPECT_EQ(value(ask(node2, "OP=chkaccount&ID=" + id + "&"), "ACCOUNTS"), "noaccount");

  struct Refused {
    std::vector<std::string> args;
    int exit_code;
  };
  const Refused refused[] = {
      {{"node", dir.str(), "3", "stop"}, 1},   // no such node in this network
      {{"node", dir.str(), "0", "start"}, 1},
      {{"node", dir.str(), "2", "reboot"}, 2},
      {{"node", dir.str(), "2"}, 2},
      {{"node", (dir / "nothing").string(), "1", "stop"}, 1},
  };
  for (const Refused& r : refused) {
    auto run = datanet(r.args);
    EXPECT_EQ(run.exit_code, r.exit_code) << ::testing::PrintToString(r.args) << run.output;
  }
}

TEST(DatanetScript, RefusesAShapeItCannotGive) {
  TempDir dir("datanet");
  for (const std::vector<std::string>& shape :
       {std::vector<std::string>{"--latency", "ten"}, {"--latency", "-5"}, {"--rate", "fast"},
        {"--rate", "1e3"}}) {
    std::vector<std::string> args = {"up", dir.str(), "--base-port", "29999"};
    args.insert(args.end(), shape.begin(), shape.end());
    auto run = datanet(args);
    EXPECT_EQ(run.exit_code, 2) << ::testing::PrintToString(shape) << run.output;
  }
  EXPECT_FALSE(fs::exists(dir / "node1.pid"));
}

// A port that another program holds would answer in a node's place.
TEST(DatanetScript, RefusesPortsThatAreInUse) {
  for (int offset : {1, 101, 51, 151}) {  // query, SFTP, and the nodes' own behind a proxy
    SCOPED_TRACE(offset);
    TempDir dir("datanet");
    const int base = free_base_port();
    Network network(dir);
    platform::LoopbackListener squatter;
    ASSERT_TRUE(squatter.listen(base + offset));
    auto up = datanet({"up", dir.str(), "--nodes", "2", "--base-port", std::to_string(base),
                       "--latency", "1"});
    EXPECT_EQ(up.exit_code, 1) << up.output;
    EXPECT_NE(up.output.find("port " + std::to_string(base + offset) + " is in use"),
              std::string::npos)
        << up.output;
    EXPECT_FALSE(fs::exists(dir / "node1.pid"));
  }
}

// Without MORBS_BIN_DIR datanet builds a missing node in build-release, and
// only ever an optimised one, whatever tree it finds there. Seen through
// stand-ins for cmake and ninja in a copy of the script.
TEST(DatanetScript, BuildsAMissingNodeOptimised) {
  struct Case {
    std::string cache;  // "" for no tree yet
    bool configured;
  } cases[] = {
      {"", true},
      {"CMAKE_BUILD_TYPE:STRING=\n", true},
      {"CMAKE_BUILD_TYPE:STRING=Debug\n", true},
      {"CMAKE_BUILD_TYPE:STRING=Release\n", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cache);
    TempDir top("datanet-top");
    fs::create_directories(top / "scripts");
    fs::create_directories(top / "tools");
    fs::copy_file(std::string(MORBS_SOURCE_DIR) + "/scripts/datanet", top / "scripts" / "datanet");
    fs::create_directories(top / "build-release");
    if (!c.cache.empty()) top.write("build-release/CMakeCache.txt", c.cache);
    for (const char* tool : {"cmake", "ninja"}) {
      top.write(std::string("tools/") + tool,
                "#!/bin/sh\necho \"$*\" >> '" + (top / tool).string() + ".log'\n");
      fs::permissions(top / "tools" / tool, fs::perms::owner_all);
    }
    platform::RunOptions options;
    options.merge_standard_error = true;
    options.timeout_ms = 60000;
    auto run = platform::run_process({"env", "-u", "MORBS_BIN_DIR", "PATH=" + (top / "tools").string() + ":/usr/bin:/bin",
                                      (top / "scripts" / "datanet").string(), "up", (top / "net").string(), "--nodes",
                                      "1", "--base-port", std::to_string(free_base_port())},
                                     options);
    ASSERT_TRUE(run);
    EXPECT_NE(run->output.find("no morbnode in"), std::string::npos) << run->output;  // the stand-ins build nothing
    const std::string configured = fs::exists(top / "cmake.log") ? read_file(top / "cmake.log") : "";
    EXPECT_EQ(configured.find("-DCMAKE_BUILD_TYPE=Release") != std::string::npos, c.configured) << configured;
    EXPECT_NE(read_file(top / "ninja.log").find("build-release morbnode"), std::string::npos);
  }
}

}  // namespace
}  // namespace morbs::e2e
