#include "core/wire/node_exchange.h"

#include "core/wire/op_message.h"

namespace morbs {

bool NetworkExchange::ask(std::string_view address, int port, std::string& message) {
  return op_message(address, port, message, &reporter_, wait_) == 0;
}

}  // namespace morbs
