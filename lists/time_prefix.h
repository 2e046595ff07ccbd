// The time prefix that makes a new stored file name unique, asked of a node.
#pragma once

#include <string>
#include <string_view>

#include "core/wire/node_exchange.h"

namespace morbs {

// 0 with TIME, NANO padded to 9 digits and a trailing ":" in `out`;
// -1 with "null".
int get_prefix(NodeExchange& exchange, std::string_view address, int port, std::string& out);

// The prefix from the node's TIME and NANO texts.
std::string make_prefix(std::string_view time, std::string_view nano);

}  // namespace morbs
