#include "platform/terminal.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace morbs::platform {
namespace {

// A pseudo-terminal pair: what the test writes to the master, the terminal
// reads from the slave as a user's typing.
class PseudoTerminal {
 public:
  PseudoTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) slave_ = ptsname(master_);
  }
  ~PseudoTerminal() {
    if (master_ >= 0) ::close(master_);
  }
  bool ok() const { return !slave_.empty(); }
  const std::string& slave() const { return slave_; }
  void type(const std::string& text) { ASSERT_EQ(::write(master_, text.data(), text.size()), ssize_t(text.size())); }
  std::string screen() {
    std::string out;
    char buf[256];
    int flags = fcntl(master_, F_GETFL);
    fcntl(master_, F_SETFL, flags | O_NONBLOCK);
    for (ssize_t got; (got = ::read(master_, buf, sizeof buf)) > 0;) out.append(buf, size_t(got));
    fcntl(master_, F_SETFL, flags);
    return out;
  }

 private:
  int master_ = -1;
  std::string slave_;
};

TEST(Terminal, ReadsTypedLinesAndWritesToTheScreen) {
  PseudoTerminal pty;
  ASSERT_TRUE(pty.ok());
  Terminal terminal;
  ASSERT_TRUE(terminal.open(pty.slave()));
  terminal.write("Account id: ");
  pty.type("12345678903\n\n" + std::string(20, 'x') + "\n");
  EXPECT_EQ(terminal.read_line(), "12345678903");
  EXPECT_EQ(terminal.read_line(), "");  // an empty line is an answer, not the end
  EXPECT_EQ(terminal.read_line(8), "xxxxxxxx");  // cut, and the rest of the line dropped
  EXPECT_NE(pty.screen().find("Account id: "), std::string::npos);
}

TEST(Terminal, EndOfInputIsNoAnswer) {
  PseudoTerminal pty;
  ASSERT_TRUE(pty.ok());
  Terminal terminal;
  ASSERT_TRUE(terminal.open(pty.slave()));
  pty.type(std::string(1, '\x04'));  // Ctrl-D on an empty line
  EXPECT_EQ(terminal.read_line(), std::nullopt);
}

TEST(Terminal, OnlyATerminalOpens) {
  Terminal terminal;
  EXPECT_FALSE(terminal.open("/dev/null"));
  EXPECT_FALSE(terminal.open("/no/such/terminal"));
  EXPECT_FALSE(terminal.is_open());
  EXPECT_EQ(terminal.read_line(), std::nullopt);
}

}  // namespace
}  // namespace morbs::platform
