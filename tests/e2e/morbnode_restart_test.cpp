// A node stopped while clients are connected leaves its side of those
// connections waiting (TIME_WAIT) on its ports; started again at once on
// the same ports, it must come up: its listening sockets take SO_REUSEADDR.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "platform/tcp_socket.h"
#include "tests/e2e/pushbox_fixture.h"

namespace morbs::e2e {
namespace {

TEST_F(PushboxTest, ANodeStartsAgainOnItsPortsRightAfterClientTraffic) {
  start_nodes(2);
  dir_.write("a.bin", content_of(3000));
  const auto began = std::chrono::steady_clock::now();
  for (int round = 0; round < 3 && std::chrono::steady_clock::now() - began < std::chrono::seconds(60); ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    upload("a.bin", "a" + std::to_string(round) + ".bin");
    ASSERT_EQ(last_exit(), 0);
    // Connections of its own that the node, when it stops, closes first:
    // its side of them then waits on its ports.
    auto sftp = std::make_unique<platform::TcpSocket>(), query = std::make_unique<platform::TcpSocket>();
    ASSERT_TRUE(sftp->open() && sftp->connect_within("127.0.0.1", net_->sftp_port(0), 2, 0));
    ASSERT_TRUE(query->open() && query->connect_within("127.0.0.1", net_->query_port(0), 2, 0));
    EXPECT_TRUE(sftp->wait_readable(5000));  // its greeting: the connection was taken
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    net_->stop(0);
    sftp.reset();
    query.reset();
    EXPECT_NO_THROW(net_->start(0));
  }
  // And it serves both ports again.
  upload("a.bin", "after.bin");
  EXPECT_EQ(last_exit(), 0);
  bool listed = false;
  for (const std::string area : {"accounts", "accounts1"})
    for (const std::string& line : list_lines(0, area)) listed = listed || field(line, "FN").find(":after.bin") != std::string::npos;
  EXPECT_TRUE(listed);
}

}  // namespace
}  // namespace morbs::e2e
