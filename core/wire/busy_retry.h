// When and how long a node exchange tries a busy node again.
//
// A node serving many clients at once may turn a connection away, drop it,
// or answer after the client stopped waiting. Those are tried again after a
// pause that grows and is jittered, so that clients turned away together do
// not all come back together. What the node answered on purpose (its
// refusal) and an address that can never be reached are never tried again.
#pragma once

#include <string>
#include <string_view>

#include "core/wire/op_message.h"

namespace morbs {

// True for a failure a busy node causes and a later attempt may not meet.
bool worth_retrying(ExchangeFailure failure);

// True when the node may have received the request and acted on it, though
// no answer came.
bool maybe_delivered(ExchangeFailure failure);

// True when nothing took the connection: a node down rather than a busy one,
// which accepts and answers late.
bool not_connected(ExchangeFailure failure);

// True for a request that changes a list: sent twice, the second meets what
// the first did (a line already added, a reservation already used) and is
// refused, so it is sent again only when it never reached the node; its
// answer is awaited longer instead.
bool changes_a_list(std::string_view request);

// The pause before attempt `attempt` (2, 3, ...): 100 ms, doubling, at most
// 1.6 s, jittered between half and one and a half times by `unit` in [0, 1).
int busy_pause_ms(int attempt, double unit);

// A few words on what the last attempt met, for the line that gives up.
std::string failure_text(ExchangeFailure failure);

}  // namespace morbs
