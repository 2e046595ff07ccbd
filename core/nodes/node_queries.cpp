#include "core/nodes/node_queries.h"

#include <string>

#include "core/nodes/node_table.h"
#include "core/wire/number_text.h"
#include "core/wire/query_string.h"

namespace morbs {

namespace {

// The looked-up value when it fits its field; "null" (refused) otherwise.
std::string bounded(const std::string& value, size_t limit) {
  return value.size() > limit ? std::string(empty_slot) : value;
}

void read_liveness(node_conf& node, int port, bool answered, const std::string& reply) {
  if (!answered) {
    node.sn = empty_slot;
    node.port = 0;
    return;
  }
  std::string sn;
  select_value(reply, "SN", sn);
  node.sn = bounded(sn, sn_limit);
  node.port = (sn != absent && node_present(node)) ? port : 0;
}

// "ready" names the area itself; any other text is the node's own word.
std::string account_state(const std::string& value, std::string_view ready_name, size_t limit) {
  if (value == absent) return std::string(empty_slot);
  if (value == "ready") return std::string(ready_name);
  return bounded(value, limit);
}

void read_space(const std::string& reply, std::string_view key, std::string_view area,
                int64_t& space, std::string& state) {
  std::string value;
  if (select_value(reply, key, value) != 0 || value == "null") {
    space = -1;
    state = empty_slot;
    return;
  }
  space = to_int64(value).value_or(-1);
  state = area;
}

void read_passwd(node_conf& node, const std::string& reply) {
  std::string pa, port;
  if (select_value(reply, "PA", pa) != 0) {
    node.passwd = empty_slot;
    return;
  }
  node.passwd = bounded(pa, passwd_limit);
  select_value(reply, "PORT_SFTP", port);
  node.port_sftp = port == absent ? std::string(empty_slot) : bounded(port, port_sftp_limit);
}

}  // namespace

void ask_liveness(node_conf& node, std::string_view address, int port, NodeExchange& exchange) {
  std::string message = "TEST=H00&";
  const bool answered = exchange.ask(address, port, message);
  read_liveness(node, port, answered, message);
}

void ask_accounts_for_id(node_conf& node, std::string_view address, int port, std::string_view id,
                         NodeExchange& exchange) {
  if (!node_present(node)) {
    node.accounts = node.accounts1 = empty_slot;
    return;
  }
  std::string message = "OP=chkaccount&ID=" + std::string(id) + "&";
  if (!exchange.ask(address, port, message)) {
    node.accounts = node.accounts1 = empty_slot;
    return;
  }
  std::string value;
  select_value(message, "ACCOUNTS", value);
  node.accounts = account_state(value, "accounts", accounts_limit);
  select_value(message, "ACCOUNTS1", value);
  node.accounts1 = account_state(value, "accounts1", accounts1_limit);
}

void ask_free_space(node_conf& node, std::string_view address, int port, NodeExchange& exchange) {
  if (!node_present(node)) return;
  std::string message = "OP=currentspace&";
  if (!exchange.ask(address, port, message)) {
    node.space = node.space1 = -1;
    node.accounts = node.accounts1 = empty_slot;
    return;
  }
  read_space(message, "ACCOUNTS", "accounts", node.space, node.accounts);
  read_space(message, "ACCOUNTS1", "accounts1", node.space1, node.accounts1);
}

void ask_passwd(node_conf& node, std::string_view address, int port, NodeExchange& exchange) {
  if (!node_present(node)) return;
  std::string message = "OP=sshpasswd&";
  if (!exchange.ask(address, port, message)) return;  // no login: no transfer there
  read_passwd(node, message);
}

void get_active_nodes(NodeTable& nconf, std::string_view address, int base_port, int count, NodeExchange& exchange) {
  for (int i = 0; i < count && i < node_count; ++i) ask_liveness(nconf[i], address, base_port + i, exchange);
}

void test_one_node(NodeTable& nconf, std::string_view address, int port, NodeExchange& exchange) {
  ask_liveness(nconf[0], address, port, exchange);
}

void get_accounts_for_id(NodeTable& nconf, std::string_view address, int base_port, int count,
                         std::string_view id, NodeExchange& exchange) {
  for (int i = 0; i < count && i < node_count; ++i)
    ask_accounts_for_id(nconf[i], address, base_port + i, id, exchange);
}

void get_free_space(NodeTable& nconf, std::string_view address, int base_port, int count, NodeExchange& exchange) {
  for (int i = 0; i < count && i < node_count; ++i) ask_free_space(nconf[i], address, base_port + i, exchange);
}

void get_passwd_node(NodeTable& nconf, std::string_view address, int base_port, int count, NodeExchange& exchange) {
  for (int i = 0; i < count && i < node_count; ++i) ask_passwd(nconf[i], address, base_port + i, exchange);
}

void get_one_passwd(NodeTable& nconf, std::string_view address, int port, NodeExchange& exchange) {
  std::string message = "OP=sshpasswd&";
  if (!exchange.ask(address, port, message)) return;
  read_passwd(nconf[0], message);
}

}  // namespace morbs
