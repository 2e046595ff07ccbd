#include "transfer/node_survey.h"

#include "core/nodes/node_queries.h"
#include "transfer/exchange_tasks.h"

namespace morbs {

void survey_nodes_for_write(NodeTable& nconf, std::string_view address, int base_port, NodeExchange& exchange,
                            Reporter& reporter) {
  init_struct_nconf(nconf, node_count);
  run_exchange_tasks(node_count, node_count, exchange, reporter, [&](size_t i, NodeExchange& asker, Reporter&) {
    const int port = base_port + static_cast<int>(i);
    ask_liveness(nconf[i], address, port, asker);
    ask_free_space(nconf[i], address, port, asker);
    ask_passwd(nconf[i], address, port, asker);
  });
}

void survey_nodes_for_read(NodeTable& nconf, std::string_view address, int base_port, std::string_view id,
                           NodeExchange& exchange, Reporter& reporter) {
  init_struct_nconf(nconf, node_count);
  run_exchange_tasks(node_count, node_count, exchange, reporter, [&](size_t i, NodeExchange& asker, Reporter&) {
    const int port = base_port + static_cast<int>(i);
    ask_liveness(nconf[i], address, port, asker);
    ask_accounts_for_id(nconf[i], address, port, id, asker);
    ask_passwd(nconf[i], address, port, asker);
  });
}

}  // namespace morbs
