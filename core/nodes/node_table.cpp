#include "core/nodes/node_table.h"

namespace morbs {

void init_struct_nconf(NodeTable& nconf, int count) {
  for (int i = 0; i < count && i < node_count; ++i) nconf[i] = node_conf{};
}

}  // namespace morbs
