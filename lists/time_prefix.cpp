#include "lists/time_prefix.h"

#include "core/wire/op_message.h"
#include "core/wire/query_string.h"

namespace morbs {

namespace {
// The prefix must leave room in a 255-character registration line.
constexpr size_t prefix_limit = 40;
}  // namespace

std::string make_prefix(std::string_view time, std::string_view nano) {
  std::string prefix(time);
  if (nano.size() < 9) prefix.append(9 - nano.size(), '0');
  prefix += nano;
  prefix += ':';
  return prefix;
}

int get_prefix(NodeExchange& exchange, std::string_view address, int port, std::string& out) {
  out = empty_slot;
  std::string message = "OP=timeprec&";
  if (!exchange.ask(address, port, message)) return -1;
  std::string time, nano;
  if (select_value(message, "TIME", time) != 0 || select_value(message, "NANO", nano) != 0)
    return -1;
  std::string prefix = make_prefix(time, nano);
  if (prefix.size() > prefix_limit) return -1;
  out = prefix;
  return 0;
}

}  // namespace morbs
