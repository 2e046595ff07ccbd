#include "core/wire/busy_retry.h"

#include <algorithm>

#include "core/wire/query_string.h"

namespace morbs {

bool worth_retrying(ExchangeFailure failure) {
  switch (failure) {
    case ExchangeFailure::connection_refused:
    case ExchangeFailure::no_connection:
    case ExchangeFailure::not_sent:
    case ExchangeFailure::lost:
    case ExchangeFailure::no_answer:
    case ExchangeFailure::closed:
      return true;
    case ExchangeFailure::none:
    case ExchangeFailure::local:
    case ExchangeFailure::unreachable:
    case ExchangeFailure::refusal:
      return false;
  }
  return false;
}

bool maybe_delivered(ExchangeFailure failure) {
  return failure == ExchangeFailure::lost || failure == ExchangeFailure::no_answer ||
         failure == ExchangeFailure::closed;
}

bool not_connected(ExchangeFailure failure) {
  return failure == ExchangeFailure::connection_refused || failure == ExchangeFailure::no_connection;
}

bool changes_a_list(std::string_view request) {
  std::string op;
  if (select_value(request, "OP", op) != 0) return false;
  return op == "listfiles" || op == "listARCHI";
}

int busy_pause_ms(int attempt, double unit) {
  constexpr int first_ms = 100;
  constexpr int longest_ms = 1600;
  if (attempt < 2) return 0;
  const int grown = std::min(longest_ms, first_ms << std::min(attempt - 2, 4));
  return static_cast<int>(grown * (0.5 + std::clamp(unit, 0.0, 1.0)));
}

std::string failure_text(ExchangeFailure failure) {
  switch (failure) {
    case ExchangeFailure::none: return "answered";
    case ExchangeFailure::local: return "no socket";
    case ExchangeFailure::unreachable: return "address not reachable";
    case ExchangeFailure::connection_refused: return "connection refused";
    case ExchangeFailure::no_connection: return "no connection within the wait";
    case ExchangeFailure::not_sent: return "connection broken before sending";
    case ExchangeFailure::lost: return "connection reset";
    case ExchangeFailure::no_answer: return "no answer within the answer wait";
    case ExchangeFailure::closed: return "closed without an answer";
    case ExchangeFailure::refusal: return "refused";
  }
  return "unknown";
}

}  // namespace morbs
