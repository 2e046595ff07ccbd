// Turning the node table into places for a write: two places for a whole
// file, or the plan `permut` of one part per active node.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "core/nodes/node_table.h"
#include "core/wire/node_exchange.h"

namespace morbs {

// The write plan of a matrix-mode upload; a run owns it (named `permut` by
// convention).
struct permut_rec {
  int nr = 0;  // number of parts; 0: no usable plan
  int64_t part_size = 0;
  int64_t last_part_size = 0;
  std::array<int, node_count> node{};
  std::array<int, node_count> area{};
  std::array<int, node_count> node2{};
  std::array<int, node_count> area2{};
};

// A place: node index and storage area (1 "accounts", 2 "accounts1"); -1 none.
struct WritePlaces {
  int basic_node = -1, basic_area = -1;
  int second_node = -1, second_area = -1;
};

void init_permut(permut_rec& permut);

void test_nodes_for_write(NodeTable& nconf, std::string_view address, int base_port, NodeExchange& exchange);
void test_nodes_for_read(NodeTable& nconf, std::string_view address, int base_port, std::string_view id,
                         NodeExchange& exchange);

// Best and second-best node by free space in the area; ties go to the later index.
void select_max_disk_size(const NodeTable& nconf, std::string_view area, int count, int& best, int& second);

// 1 chosen, 0 none (all places -1).
int select_nodes_for_write(const NodeTable& nconf, int64_t size, int count, WritePlaces& places);

void test_size_for_write_in_matrix_mode(const NodeTable& nconf, permut_rec& permut, int64_t size);

WritePlaces test_write_in_singular_mode(NodeTable& nconf, std::string_view address, int base_port, int64_t size,
                                        NodeExchange& exchange);
void test_write_in_matrix_mode(NodeTable& nconf, permut_rec& permut, std::string_view address, int base_port, int64_t size,
                               NodeExchange& exchange);

}  // namespace morbs
