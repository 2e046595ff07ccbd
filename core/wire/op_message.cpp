#include "core/wire/op_message.h"

#include <cerrno>
#include <chrono>

#include "core/wire/query_string.h"
#include "core/wire/scrambler.h"
#include "core/wire/wire.h"
#include "platform/tcp_socket.h"

namespace morbs {

namespace {

constexpr long transfer_timeout_us = 300000;

long answer_wait_for(long connect_us) {
  constexpr long longest_us = 10000000;
  const long derived = 8 * connect_us;
  return derived < transfer_timeout_us ? transfer_timeout_us : derived > longest_us ? longest_us : derived;
}

bool is_refusal(const MessageBlock& block) {
  std::string_view text(reinterpret_cast<const char*>(block.data()), block.size());
  return until_nul(text) == wire::refusal;
}

ExchangeFailure connect_failure(int error) {
  if (error == EHOSTUNREACH || error == ENETUNREACH || error == EINVAL) return ExchangeFailure::unreachable;
  return error == ECONNREFUSED ? ExchangeFailure::connection_refused : ExchangeFailure::no_connection;
}

}  // namespace

int op_message(std::string_view address, int port, std::string& message, Reporter* reporter,
               ConnectionWait wait, ExchangeFailure* failure) {
  ExchangeFailure ignored;
  ExchangeFailure& why = failure ? *failure : ignored;
  why = ExchangeFailure::local;
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
  const auto connecting = std::chrono::steady_clock::now();
  socket.start_connect(address, port);
  if (!socket.set_nonblocking(false)) tell(format_text("[test_nodes] ioctlsocket failed with error: %d\n", errno));
  if (!socket.wait_writable(wait.seconds, wait.microseconds)) {
    why = connect_failure(errno);
    return -1;
  }
  // A distant node answers later: the wait fits the path the connection
  // showed, never below the written 300 ms and never without end.
  const long connect_us = static_cast<long>(
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - connecting).count());
  const long answer_us = wait.answer_ms > 0 ? wait.answer_ms * 1000 : answer_wait_for(connect_us);
  if (answer_us != transfer_timeout_us) {
    socket.set_receive_timeout(answer_us);
    socket.set_send_timeout(answer_us);
  }

  MessageBlock block{};
  codeV1(until_nul(message), 0, block);
  if (socket.send_once(block.data(), block.size()) < 0) {
    why = ExchangeFailure::not_sent;
    tell("Error writing to socket[test_nodes]\n");
    return -1;
  }
  block.fill(0);
  const long received = socket.receive_all(block.data(), block.size());
  if (received < 0) {
    why = errno == EAGAIN || errno == EWOULDBLOCK ? ExchangeFailure::no_answer : ExchangeFailure::lost;
    tell("Error reading from socket[test_nodes]\n");
    return -1;
  }
  if (is_refusal(block)) {
    why = ExchangeFailure::refusal;
    message = empty_slot;
    return -1;
  }
  why = received < static_cast<long>(block.size()) ? ExchangeFailure::closed : ExchangeFailure::none;
  PlainBlock plain{};
  decodeV1(block, 0, plain);
  message.assign(until_nul(std::string_view(plain.data(), plain.size())));
  return 0;
}

}  // namespace morbs
