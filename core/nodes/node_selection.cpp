#include "core/nodes/node_selection.h"

#include <functional>
#include <vector>

#include "core/nodes/node_queries.h"
#include "core/wire/exchange_tasks.h"

namespace morbs {

namespace {

int64_t space_in(const node_conf& n, int area) { return area == 1 ? n.space : n.space1; }

// The running-maximum scan: a space >= the maximum so far takes the place.
int best_node(const NodeTable& nconf, int area, int count, int skip) {
  int best = -1;
  int64_t maximum = -1;
  for (int i = 0; i < count && i < node_count; ++i) {
    if (i == skip) continue;
    if (space_in(nconf[i], area) >= maximum) {
      maximum = space_in(nconf[i], area);
      if (maximum != -1) best = i;
    }
  }
  return best;
}

bool fits(const NodeTable& nconf, int node, int area, int64_t size) {
  return node != -1 && space_in(nconf[node], area) >= size;
}

// Every node asked its questions at the same time as the others, where the
// exchange can be asked from several threads: over a network each question
// is a round trip, and no node's answers depend on another's. Each node
// still gets its questions in order, and the table ends as asking one node
// after another would leave it.
void ask_each_node(NodeExchange& exchange, const std::function<void(int, NodeExchange&)>& questions) {
  Reporter* told = exchange.reporter();
  if (told == nullptr) {
    for (int i = 0; i < node_count; ++i) questions(i, exchange);
    return;
  }
  run_exchange_tasks(node_count, node_count, exchange, *told,
                     [&](size_t i, NodeExchange& asker, Reporter&) { questions(static_cast<int>(i), asker); });
}

}  // namespace

void init_permut(permut_rec& permut) { permut = permut_rec{}; }

void test_nodes_for_write(NodeTable& nconf, std::string_view address, int base_port, NodeExchange& exchange) {
  init_struct_nconf(nconf, node_count);
  ask_each_node(exchange, [&](int i, NodeExchange& asker) {
    ask_liveness(nconf[i], address, base_port + i, asker);
    ask_free_space(nconf[i], address, base_port + i, asker);
    ask_passwd(nconf[i], address, base_port + i, asker);
  });
}

void test_nodes_for_read(NodeTable& nconf, std::string_view address, int base_port, std::string_view id,
                         NodeExchange& exchange) {
  init_struct_nconf(nconf, node_count);
  ask_each_node(exchange, [&](int i, NodeExchange& asker) {
    ask_liveness(nconf[i], address, base_port + i, asker);
    ask_accounts_for_id(nconf[i], address, base_port + i, id, asker);
    ask_passwd(nconf[i], address, base_port + i, asker);
  });
}

void select_max_disk_size(const NodeTable& nconf, std::string_view area, int count, int& best, int& second) {
  best = second = -1;
  int number = area == "accounts" ? 1 : area == "accounts1" ? 2 : 0;
  if (number == 0) return;
  best = best_node(nconf, number, count, -1);
  second = best_node(nconf, number, count, best);
}

int select_nodes_for_write(const NodeTable& nconf, int64_t size, int count, WritePlaces& places) {
  int f1, s1, f2, s2;
  select_max_disk_size(nconf, "accounts", count, f1, s1);
  select_max_disk_size(nconf, "accounts1", count, f2, s2);
  if (fits(nconf, f1, 1, size) && fits(nconf, s1, 1, size)) {
    places = {f1, 1, s1, 1};
  } else if (fits(nconf, f1, 1, size) && fits(nconf, s2, 2, size)) {
    places = {f1, 1, s2, 2};  // may be the same node, in its other area
  } else if (fits(nconf, f2, 2, size) && fits(nconf, s2, 2, size)) {
    places = {f2, 2, s2, 2};
  } else {
    places = WritePlaces{};
    return 0;
  }
  return 1;
}

void test_size_for_write_in_matrix_mode(const NodeTable& nconf, permut_rec& permut, int64_t size) {
  init_permut(permut);
  std::vector<int> active;
  for (int i = 0; i < node_count; ++i)
    if (nconf[i].port > 0) active.push_back(i);
  const int k = static_cast<int>(active.size());
  if (k <= 1) {
    permut.nr = 2;
    return;
  }
  permut.part_size = size / k;
  permut.last_part_size = size % k + size / k;
  for (int j = 0; j < k; ++j) {
    const node_conf& n = nconf[active[j]];
    const bool edge = j == 0 || j == k - 1;
    const int64_t need = edge ? permut.part_size + permut.last_part_size : 2 * permut.part_size;
    int area;
    if (n.space > need) area = 1;
    else if (n.space1 > need) area = 2;
    else return;  // no plan: nr stays 0
    permut.node[j] = permut.node2[j] = active[j];
    permut.area[j] = permut.area2[j] = area;
  }
  permut.nr = k;
}

WritePlaces test_write_in_singular_mode(NodeTable& nconf, std::string_view address, int base_port, int64_t size,
                                        NodeExchange& exchange) {
  test_nodes_for_write(nconf, address, base_port, exchange);
  WritePlaces places;
  select_nodes_for_write(nconf, size, node_count, places);
  return places;
}

void test_write_in_matrix_mode(NodeTable& nconf, permut_rec& permut, std::string_view address, int base_port, int64_t size,
                               NodeExchange& exchange) {
  test_nodes_for_write(nconf, address, base_port, exchange);
  test_size_for_write_in_matrix_mode(nconf, permut, size);
}

}  // namespace morbs
