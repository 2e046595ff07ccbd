// One request/reply exchange with a node's query port: one connection, one
// scrambled 512-byte block each way.
#pragma once

#include <string>
#include <string_view>

#include "core/report/reporter.h"
#include "core/session/settings.h"

namespace morbs {

// On entry `message` holds the request (at most 255 characters are sent).
// 0: `message` holds the node's plain reply (up to its NUL).
// -1: no socket, no connection within the wait, send or receive failure
//     (each within the answer wait: `wait.answer_ms`, or eight times what
//     the connection took, from 300 ms to 10 s), or a refusal, after which
//     `message` is "null".
// What failed on the way is told to `reporter` as a detail, when given.
// One attempt only; NetworkExchange is what tries a busy node again.
enum class ExchangeFailure {
  none,
  local,               // no socket or socket option: nothing reached the node
  unreachable,         // an address that is no address, or one the guard refuses
  connection_refused,  // nothing accepted the connection
  no_connection,       // not connected within the connection wait
  not_sent,            // the connection broke before the request went out
  lost,                // the connection was reset while the answer was awaited
  no_answer,           // nothing within the answer wait
  closed,              // closed before a whole reply (the result is still 0)
  refusal,             // the node's own refusal
};
int op_message(std::string_view address, int port, std::string& message, Reporter* reporter,
               ConnectionWait wait = {}, ExchangeFailure* failure = nullptr);

}  // namespace morbs
