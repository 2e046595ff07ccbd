// What a run asks every node before it plans, each node asked at the same
// time as the others: over a network every question costs a round trip, and
// no node's answers depend on another's. Each node still gets its questions
// in their order, and the table ends as asking one node after another would
// leave it.
#pragma once

#include <string_view>

#include "core/nodes/node_table.h"
#include "core/report/reporter.h"
#include "core/wire/node_exchange.h"

namespace morbs {

// Liveness, free space and SFTP login of every node, for a write.
void survey_nodes_for_write(NodeTable& nconf, std::string_view address, int base_port, NodeExchange& exchange,
                            Reporter& reporter);
// Liveness, the account's areas and SFTP login of every node, for a read.
void survey_nodes_for_read(NodeTable& nconf, std::string_view address, int base_port, std::string_view id,
                           NodeExchange& exchange, Reporter& reporter);

}  // namespace morbs
