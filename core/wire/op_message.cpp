#include "core/wire/op_message.h"

#include <cerrno>

#include "core/wire/query_string.h"
#include "core/wire/scrambler.h"
#include "core/wire/wire.h"
#include "platform/tcp_socket.h"

namespace morbs {

namespace {

constexpr long transfer_timeout_us = 300000;

bool is_refusal(const MessageBlock& block) {
  std::string_view text(reinterpret_cast<const char*>(block.data()), block.size());
  return until_nul(text) == wire::refusal;
}

}  // namespace

int op_message(std::string_view address, int port, std::string& message, Reporter* reporter,
               ConnectionWait wait) {
  auto tell = [reporter](const std::string& text) {
    if (reporter) reporter->detail(text);
  };
  platform::TcpSocket socket;
  if (!socket.open()) {
    tell("Error opening socket [test_nodes]\n");
    return -1;
  }
  if (!socket.set_receive_timeout(transfer_timeout_us)) {
    tell("Error: [test_nodes] setsockopt failed [1]\n");
    return -1;
  }
  if (!socket.set_send_timeout(transfer_timeout_us)) {
    tell("Error: [test_nodes] setsockopt failed [2]\n");
    return -1;
  }
  if (!socket.set_nonblocking(true)) tell(format_text("[test_nodes] ioctlsocket failed with error: %d\n", errno));
  socket.start_connect(address, port);
  if (!socket.set_nonblocking(false)) tell(format_text("[test_nodes] ioctlsocket failed with error: %d\n", errno));
  if (!socket.wait_writable(wait.seconds, wait.microseconds)) return -1;

  MessageBlock block{};
  codeV1(until_nul(message), 0, block);
  if (socket.send_once(block.data(), block.size()) < 0) {
    tell("Error writing to socket[test_nodes]\n");
    return -1;
  }
  block.fill(0);
  if (socket.receive_all(block.data(), block.size()) < 0) {
    tell("Error reading from socket[test_nodes]\n");
    return -1;
  }
  if (is_refusal(block)) {
    message = empty_slot;
    return -1;
  }
  PlainBlock plain{};
  decodeV1(block, 0, plain);
  message.assign(until_nul(std::string_view(plain.data(), plain.size())));
  return 0;
}

}  // namespace morbs
