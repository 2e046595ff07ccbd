// Connections of the SFTP service: one that never logs in is sent away
// within seconds, the sessions are capped, and a stop with connections open
// on both ports ends the node cleanly.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/process.h"
#include "platform/tcp_socket.h"
#include "tests/e2e/support/certificate_fixture.h"
#include "tests/e2e/support/datanet.h"
#include "tests/e2e/support/temp_dir.h"

namespace morbs::e2e {
namespace {

using Clock = std::chrono::steady_clock;

// Reads (the server's greeting) until the node closes the connection; the
// seconds it took, or -1 when it stayed open past `limit_s`.
double seconds_until_closed(platform::TcpSocket& socket, double limit_s) {
  const auto start = Clock::now();
  char sink[256];
  while (std::chrono::duration<double>(Clock::now() - start).count() < limit_s) {
    if (!socket.wait_readable(100)) continue;
    socket.set_receive_timeout(100000);
    if (socket.receive_all(sink, 1) <= 0)
      return std::chrono::duration<double>(Clock::now() - start).count();
  }
  return -1;
}

platform::TcpSocket connect_to(int port) {
  platform::TcpSocket socket;
  socket.open();
  socket.connect_within("127.0.0.1", port, 1, 0);
  return socket;
}

TEST(NodeSessions, SilentConnectionsAreSentAwayAndTheCapHolds) {
  TempDir dir("sessions");
  DataNet net(dir.path(), 1);
  std::vector<platform::TcpSocket> silent;
  for (int i = 0; i < 20; ++i) silent.push_back(connect_to(net.sftp_port(0)));
  int at_once = 0, later = 0;
  for (auto& s : silent) {
    const double closed = seconds_until_closed(s, 12);
    ASSERT_GE(closed, 0) << "a silent connection stayed open";
    (closed < 1.0 ? at_once : later)++;
  }
  EXPECT_GE(at_once, 12);  // beyond the cap of 8: closed at once
  EXPECT_LE(later, 8);
  // With the slots free again, a real client is served. A session's slot
  // comes back when its thread has ended, a moment after the close: a few
  // bounded tries.
  silent.clear();
  platform::RunOptions options;
  options.merge_standard_error = true;
  options.timeout_ms = 30000;
  platform::RunResult curl;
  for (int attempt = 0; attempt < 10 && curl.exit_code != 0; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(300));
    curl = platform::run_process({"curl", "-sS", "-k", "--user", net.user(0) + ":" + net.password(0),
                                  "sftp://127.0.0.1:" + std::to_string(net.sftp_port(0)) + "/home/"},
                                 options).value_or(platform::RunResult{});
  }
  EXPECT_EQ(curl.exit_code, 0) << curl.output;
}

TEST(NodeSessions, AStopWithOpenConnectionsEndsCleanly) {
  TempDir dir("sessions");
  DataNet ports(dir.path(), 1);
  ports.stop(0);
  platform::BackgroundProcess node;
  ASSERT_TRUE(node.start({program("morbnode"), "--root", (dir / "solo").string(), "--port",
                          std::to_string(ports.query_port(0)), "--sftp-port", std::to_string(ports.sftp_port(0))},
                         {}, (dir / "solo.out").string()));
  for (int i = 0; i < 250 && ports.request(0, "TEST=H00&").empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::vector<platform::TcpSocket> open;
  for (int i = 0; i < 5; ++i) {
    open.push_back(connect_to(ports.query_port(0)));
    open.push_back(connect_to(ports.sftp_port(0)));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const auto start = Clock::now();
  EXPECT_EQ(node.stop(5000), 0) << read_file(dir / "solo.out");
  EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 3.0);
}

}  // namespace
}  // namespace morbs::e2e
