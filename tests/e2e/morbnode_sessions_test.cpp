// Connections of the SFTP service: one that never logs in is sent away
// within seconds, logins beyond the sessions served wait their turn for a
// bounded time, and a stop with connections open on both ports ends the node
// cleanly.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>

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

// The seconds after which the node closed each connection (what it sends
// is read and dropped), all watched at once; -1 for one still open after `limit_s`.
std::vector<double> seconds_until_closed(std::vector<platform::TcpSocket>& sockets, double limit_s) {
  const auto start = Clock::now();
  std::vector<double> closed(sockets.size(), -1);
  for (;;) {
    const double now = std::chrono::duration<double>(Clock::now() - start).count();
    std::vector<pollfd> polls;
    std::vector<size_t> which;
    for (size_t i = 0; i < sockets.size(); ++i)
      if (closed[i] < 0) {
        polls.push_back({sockets[i].fd(), POLLIN, 0});
        which.push_back(i);
      }
    if (polls.empty() || now > limit_s) return closed;
    if (::poll(polls.data(), polls.size(), 50) <= 0) continue;
    for (size_t k = 0; k < polls.size(); ++k) {
      char sink[256];
      if (polls[k].revents && ::recv(polls[k].fd, sink, sizeof sink, MSG_DONTWAIT) <= 0)
        closed[which[k]] = std::chrono::duration<double>(Clock::now() - start).count();
    }
  }
}

platform::TcpSocket connect_to(int port) {
  platform::TcpSocket socket;
  socket.open();
  socket.connect_within("127.0.0.1", port, 1, 0);
  return socket;
}

platform::RunResult curl(const std::vector<std::string>& args, long timeout_ms = 60000) {
  platform::RunOptions options;
  options.merge_standard_error = true;
  options.timeout_ms = timeout_ms;
  std::vector<std::string> argv = {"curl", "-sS", "-k"};
  argv.insert(argv.end(), args.begin(), args.end());
  return platform::run_process(argv, options).value_or(platform::RunResult{});
}

// Logins beyond the sessions served wait for a free one, for the queue wait
// at most; a session that never logs in is sent away after its five seconds.
TEST(NodeSessions, SilentLoginsWaitTheirTurnForABoundedTime) {
  TempDir dir("sessions");
  DataNet net(dir.path(), 1, {{"--sftp-sessions", "8", "--sftp-queue-wait-s", "1"}});
  std::vector<platform::TcpSocket> silent;
  for (int i = 0; i < 20; ++i) silent.push_back(connect_to(net.sftp_port(0)));
  int queued = 0, served = 0;
  for (double closed : seconds_until_closed(silent, 15)) {
    ASSERT_GE(closed, 0) << "a silent connection stayed open";
    queued += closed < 3.0;
    served += closed >= 4.0 && closed < 10.0;
  }
  EXPECT_EQ(queued, 12);  // beyond the 8 sessions: waited their second, then closed
  EXPECT_EQ(served, 8);   // given a session, never logged in
  // With the slots free again, a real client is served. A session's slot
  // comes back when its thread has ended, a moment after the close: a few
  // bounded tries.
  silent.clear();
  platform::RunResult listing;
  for (int attempt = 0; attempt < 10 && listing.exit_code != 0; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(300));
    listing = curl({"--user", net.user(0) + ":" + net.password(0),
                    "sftp://127.0.0.1:" + std::to_string(net.sftp_port(0)) + "/home/"});
  }
  EXPECT_EQ(listing.exit_code, 0) << listing.output;
}

// Six clients at once on a node that serves two: with a queue wait they all
// get their file, in turn; without one, those beyond two are turned away.
TEST(NodeSessions, ClientsBeyondTheSessionsWaitAndAllSucceed) {
  struct Case {
    std::string queue_wait_s;
    bool all_succeed;
  };
  const Case cases[] = {{"60", true}, {"0", false}};
  const std::string id = "12345678903", name = "1514764800000000005:shared.bin";
  const std::string content(1000000, 's');
  for (const auto& c : cases) {
    TempDir dir("sessions");
    DataNet net(dir.path(), 1, {{"--sftp-sessions", "2", "--sftp-queue-wait-s", c.queue_wait_s}});
    ASSERT_NE(net.request(0, "OP=resv&ID=" + id + "&DISK=accounts&FN=" + name + "&FSZ=1000000&").find("done"),
              std::string::npos);
    write_file(net.account_dir(0, id, "accounts") / name, content);
    const std::string url = "sftp://127.0.0.1:" + std::to_string(net.sftp_port(0)) + "/home/" + net.user(0) +
                            "/MORBS-SYSTEM/MORB1/ACCOUNTS/12/34/56/78/90/3/" + name;
    std::vector<platform::RunResult> results(6);
    std::vector<std::thread> clients;
    for (size_t i = 0; i < results.size(); ++i)
      clients.emplace_back([&, i] {
        // Slow enough that the six overlap: each holds its session for about a second.
        results[i] = curl({"--user", net.user(0) + ":" + net.password(0), "--limit-rate", "1000k", "-o",
                           (dir / ("got" + std::to_string(i))).string(), url});
      });
    for (auto& t : clients) t.join();
    int succeeded = 0;
    for (size_t i = 0; i < results.size(); ++i)
      succeeded += results[i].exit_code == 0 && read_file(dir / ("got" + std::to_string(i))) == content;
    if (c.all_succeed) {
      EXPECT_EQ(succeeded, 6) << c.queue_wait_s;
    } else {
      EXPECT_LT(succeeded, 6) << c.queue_wait_s;
      EXPECT_GE(succeeded, 2) << c.queue_wait_s;
    }
  }
}

// One session, taken by a client that never logs in: two clients that come
// after it are served in the order they came, once the slot is free.
TEST(NodeSessions, WaitingLoginsAreServedOldestFirst) {
  TempDir dir("sessions");
  DataNet net(dir.path(), 1, {{"--sftp-sessions", "1", "--sftp-queue-wait-s", "60"}});
  const std::string id = "12345678903", name = "1514764800000000005:shared.bin";
  ASSERT_NE(net.request(0, "OP=resv&ID=" + id + "&DISK=accounts&FN=" + name + "&FSZ=20000000&").find("done"),
            std::string::npos);
  write_file(net.account_dir(0, id, "accounts") / name, std::string(20000000, 'o'));  // long enough to hold the session
  const std::string url = "sftp://127.0.0.1:" + std::to_string(net.sftp_port(0)) + "/home/" + net.user(0) +
                          "/MORBS-SYSTEM/MORB1/ACCOUNTS/12/34/56/78/90/3/" + name;
  platform::TcpSocket blocker = connect_to(net.sftp_port(0));  // sent away after five seconds
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const auto start = Clock::now();
  std::vector<double> finished(2);
  std::vector<platform::RunResult> results(2);
  std::vector<std::thread> clients;
  for (size_t i = 0; i < 2; ++i) {
    clients.emplace_back([&, i] {
      results[i] = curl({"--user", net.user(0) + ":" + net.password(0), "-o",
                         (dir / ("got" + std::to_string(i))).string(), url});
      finished[i] = std::chrono::duration<double>(Clock::now() - start).count();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the first one is older
  }
  for (auto& t : clients) t.join();
  for (const auto& r : results) EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_GT(finished[0], 4.0);  // not before the slot was free
  EXPECT_LT(finished[0], finished[1]);
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
