// The seven questions the client asks the nodes before a transfer; the
// answers land in the caller's `nconf`. Node i is asked at `base_port` + i.
// Every node is asked on its own: a node that fails a question loses only
// what that question would have told of it.
#pragma once

#include <string_view>

#include "core/nodes/node_table.h"
#include "core/wire/node_exchange.h"

namespace morbs {

// One node's questions, at `port`: what each finds lands in `node`.
void ask_liveness(node_conf& node, std::string_view address, int port, NodeExchange& exchange);
void ask_accounts_for_id(node_conf& node, std::string_view address, int port, std::string_view id,
                         NodeExchange& exchange);
void ask_free_space(node_conf& node, std::string_view address, int port, NodeExchange& exchange);
void ask_passwd(node_conf& node, std::string_view address, int port, NodeExchange& exchange);

// The same questions of nodes 0 .. count-1, one node after another.
void get_active_nodes(NodeTable& nconf, std::string_view address, int base_port, int count, NodeExchange& exchange);
void test_one_node(NodeTable& nconf, std::string_view address, int port, NodeExchange& exchange);
void get_accounts_for_id(NodeTable& nconf, std::string_view address, int base_port, int count,
                         std::string_view id, NodeExchange& exchange);
void get_free_space(NodeTable& nconf, std::string_view address, int base_port, int count, NodeExchange& exchange);
void get_passwd_node(NodeTable& nconf, std::string_view address, int base_port, int count, NodeExchange& exchange);
void get_one_passwd(NodeTable& nconf, std::string_view address, int port, NodeExchange& exchange);

}  // namespace morbs
