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
//     (300 ms each), or a refusal, after which `message` is "null".
// What failed on the way is told to `reporter` as a detail, when given.
int op_message(std::string_view address, int port, std::string& message, Reporter* reporter,
               ConnectionWait wait = {});

}  // namespace morbs
