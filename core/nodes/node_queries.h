// The seven questions the client asks the nodes before a transfer; the
// answers land in the caller's `nconf`. Node i is asked at `base_port` + i.
#pragma once

#include <string_view>

#include "core/nodes/node_table.h"
#include "core/session/settings.h"

namespace morbs {

void get_active_nodes(NodeTable& nconf, std::string_view address, int base_port, int count, int verbose,
                      ConnectionWait wait = {});
void test_one_node(NodeTable& nconf, std::string_view address, int port, int verbose, ConnectionWait wait = {});
void get_accounts_for_id(NodeTable& nconf, std::string_view address, int base_port, int count,
                         std::string_view id, int verbose, ConnectionWait wait = {});
void get_free_space(NodeTable& nconf, std::string_view address, int base_port, int count, int verbose,
                    ConnectionWait wait = {});
void get_passwd_node(NodeTable& nconf, std::string_view address, int base_port, int count, int verbose,
                     ConnectionWait wait = {});
void get_one_passwd(NodeTable& nconf, std::string_view address, int port, int verbose, ConnectionWait wait = {});

}  // namespace morbs
