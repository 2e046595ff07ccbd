// A node behind a forwarding proxy tells clients the proxy's SFTP port.
#include <gtest/gtest.h>

#include "platform/process.h"
#include "platform/tcp_socket.h"
#include "tests/e2e/support/certificate_fixture.h"
#include "tests/e2e/support/datanet.h"
#include "tests/e2e/support/temp_dir.h"

namespace morbs::e2e {
namespace {

TEST(NodeAnnounce, TellsTheAnnouncedSftpPortAndServesOnItsOwn) {
  TempDir dir("announce");
  DataNet net(dir.path(), 1, {{"--announce-sftp-port", "4242"}});
  EXPECT_EQ(net.request(0, "OP=sshpasswd&"), "PA=node1:pass1&PORT_SFTP=4242&");
  platform::TcpSocket sftp;
  sftp.open();
  EXPECT_TRUE(sftp.connect_within("127.0.0.1", net.sftp_port(0), 2, 0));
}

TEST(NodeAnnounce, RefusesAPortThatIsNone) {
  TempDir dir("announce");
  for (const char* port : {"0", "65536", "-1", "42x", ""}) {
    auto run = platform::run_process(
        {program("morbnode"), "--root", (dir / "node").string(), "--announce-sftp-port", port});
    ASSERT_TRUE(run);
    EXPECT_EQ(run->exit_code, 2) << port;
  }
}

}  // namespace
}  // namespace morbs::e2e
