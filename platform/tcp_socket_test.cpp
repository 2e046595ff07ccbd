#include "platform/tcp_socket.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/loopback_listener.h"

namespace morbs::platform {
namespace {

// Both ways of connecting are one path: the same outcome, the same errno.
TEST(TcpSocket, ConnectOutcomes) {
  LoopbackListener listening;
  ASSERT_TRUE(listening.listen());
  LoopbackListener closed;
  ASSERT_TRUE(closed.listen());
  const int closed_port = closed.port();
  closed.close();

  struct Case {
    const char* what;
    std::string address;
    int port;
    bool connects;
    int error;
  };
  const Case cases[] = {
      {"a listening port", "127.0.0.1", listening.port(), true, 0},
      {"a port nobody listens on", "127.0.0.1", closed_port, false, ECONNREFUSED},
      {"no dotted address", "node.test", listening.port(), false, EINVAL},
      {"an empty address", "", listening.port(), false, EINVAL},
      {"the empty slot", "null", listening.port(), false, EINVAL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TcpSocket within;
    ASSERT_TRUE(within.open());
    errno = 0;
    EXPECT_EQ(within.connect_within(c.address, c.port, 1, 0), c.connects);
    if (!c.connects) {
      EXPECT_EQ(errno, c.error);
    }

    TcpSocket stepwise;
    ASSERT_TRUE(stepwise.open());
    ASSERT_TRUE(stepwise.set_nonblocking(true));
    stepwise.start_connect(c.address, c.port);
    ASSERT_TRUE(stepwise.set_nonblocking(false));
    errno = 0;
    EXPECT_EQ(stepwise.wait_writable(1, 0), c.connects);
    if (!c.connects) {
      EXPECT_EQ(errno, c.error);
    }
  }
}

TEST(TcpSocket, AClosedSocketIsNeverWritable) {
  TcpSocket never_opened;
  errno = 0;
  EXPECT_FALSE(never_opened.wait_writable(0, 1000));
  EXPECT_EQ(errno, EBADF);
}

}  // namespace
}  // namespace morbs::platform
