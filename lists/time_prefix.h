// The time prefix that makes a new stored file name unique, asked of a node.
#pragma once

#include <string>
#include <string_view>

#include "core/status.h"
#include "core/wire/node_exchange.h"

namespace morbs {

// TIME, NANO padded to 9 digits and a trailing ":", or why there is none.
Result<std::string> get_prefix(NodeExchange& exchange, std::string_view address, int port);

// The prefix from the node's TIME and NANO texts.
std::string make_prefix(std::string_view time, std::string_view nano);

}  // namespace morbs
