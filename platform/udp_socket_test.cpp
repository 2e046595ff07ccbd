#include "platform/udp_socket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>

#include "platform/address_guard.h"

namespace morbs::platform {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(UdpSocket, OneDatagramThereAndBack) {
  UdpSocket server;
  ASSERT_EQ(server.open(), 0);
  ASSERT_EQ(server.bind_loopback(), 0);
  ASSERT_NE(server.local_port(), 0);

  UdpSocket client;
  ASSERT_EQ(client.open(), 0);
  ASSERT_EQ(client.send_to("127.0.0.1", server.local_port(), Bytes{1, 2, 3}), 0);

  Bytes got;
  UdpPeer peer;
  int error = 0;
  ASSERT_EQ(server.receive_from(got, 100, 2000, peer, error), 3);
  EXPECT_EQ(got, (Bytes{1, 2, 3}));
  ASSERT_EQ(server.reply_to(peer, Bytes(300, 7)), 0);

  // A receive takes at most `limit` bytes of the datagram.
  ASSERT_EQ(client.receive(got, 200, 2000, error), 200);
  EXPECT_EQ(got, Bytes(200, 7));
}

TEST(UdpSocket, TheWaitForAReplyIsBounded) {
  UdpSocket silent;
  ASSERT_EQ(silent.open(), 0);
  ASSERT_EQ(silent.bind_loopback(), 0);
  UdpSocket client;
  ASSERT_EQ(client.open(), 0);
  ASSERT_EQ(client.send_to("127.0.0.1", silent.local_port(), Bytes{1}), 0);
  Bytes got{9};
  int error = 0;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(client.receive(got, 512, 200, error), -1);
  EXPECT_EQ(error, ETIMEDOUT);
  EXPECT_TRUE(got.empty());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(UdpSocket, AClosedPortIsReportedNotWaitedFor) {
  uint16_t port;
  {
    UdpSocket gone;
    ASSERT_EQ(gone.open(), 0);
    ASSERT_EQ(gone.bind_loopback(), 0);
    port = gone.local_port();
  }
  UdpSocket client;
  ASSERT_EQ(client.open(), 0);
  ASSERT_EQ(client.send_to("127.0.0.1", port, Bytes{1}), 0);
  Bytes got;
  int error = 0;
  EXPECT_EQ(client.receive(got, 512, 2000, error), -1);
  EXPECT_EQ(error, ECONNREFUSED);
}

TEST(UdpSocket, RefusesWhatIsNoIpv4Address) {
  UdpSocket client;
  ASSERT_EQ(client.open(), 0);
  for (const char* text : {"", "null", "::1", "127.0.0.1.1", "host.test"})
    EXPECT_EQ(client.send_to(text, 53, Bytes{1}), EINVAL) << text;
  UdpSocket unopened;
  EXPECT_EQ(unopened.send_to("127.0.0.1", 53, Bytes{1}), EBADF);
}

TEST(UdpSocket, TheLoopbackGuardRefusesOtherAddresses) {
  in_addr outside{};
  ASSERT_EQ(inet_pton(AF_INET, "192.0.2.1", &outside), 1);
  if (address_allowed(outside.s_addr)) GTEST_SKIP() << "built without the loopback guard";
  UdpSocket client;
  ASSERT_EQ(client.open(), 0);
  EXPECT_EQ(client.send_to("192.0.2.1", 53, Bytes{1}), EHOSTUNREACH);
  EXPECT_EQ(client.reply_to(UdpPeer{outside.s_addr, 53}, Bytes{1}), EHOSTUNREACH);
}

}  // namespace
}  // namespace morbs::platform
