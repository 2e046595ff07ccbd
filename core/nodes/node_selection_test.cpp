#include "core/nodes/node_selection.h"

#include <gtest/gtest.h>

namespace morbs {
namespace {

// The run's tables, shared by the cases of this file.
NodeTable nconf;
permut_rec permut;

void set_spaces(std::array<int64_t, 4> area1, std::array<int64_t, 4> area2 = {-1, -1, -1, -1}) {
  init_struct_nconf(nconf, node_count);
  for (int i = 0; i < node_count; ++i) {
    nconf[i].space = area1[i];
    nconf[i].space1 = area2[i];
  }
}

TEST(SelectMaxDiskSize, TiesGoToTheLaterIndex) {
  set_spaces({100, 500, 500, -1});
  int best, second;
  select_max_disk_size(nconf, "accounts", 4, best, second);
  EXPECT_EQ(best, 2);
  EXPECT_EQ(second, 1);
  select_max_disk_size(nconf, "ACCOUNTS", 4, best, second);
  EXPECT_EQ(best, -1);
  EXPECT_EQ(second, -1);
}

struct PlaceCase {
  const char* what;
  std::array<int64_t, 4> area1, area2;
  int64_t size;
  int result;
  WritePlaces expected;
};

TEST(SelectNodesForWrite, TakesTheFirstRuleThatHolds) {
  const PlaceCase cases[] = {
      {"two nodes in area 1", {100, 500, 500, -1}, {-1, -1, -1, -1}, 200, 1, {2, 1, 1, 1}},
      {"nothing known", {-1, -1, -1, -1}, {-1, -1, -1, -1}, 1, 0, {}},
      // Second-best of area 1 lacks room; area 2 of a node other than its best has room.
      {"rule 2", {900, 10, -1, -1}, {50, 800, 700, -1}, 300, 1, {0, 1, 2, 2}},
      // Rule 2 may put both copies on one node, in its two areas.
      {"rule 2 same node", {900, 10, -1, -1}, {600, 700, -1, -1}, 300, 1, {0, 1, 0, 2}},
      {"rule 3", {10, 10, -1, -1}, {600, 700, -1, -1}, 300, 1, {1, 2, 0, 2}},
      {"equal to the size fits", {200, 200, -1, -1}, {-1, -1, -1, -1}, 200, 1, {1, 1, 0, 1}},
  };
  for (const auto& c : cases) {
    set_spaces(c.area1, c.area2);
    WritePlaces places;
    EXPECT_EQ(select_nodes_for_write(nconf, c.size, 4, places), c.result) << c.what;
    EXPECT_EQ(places.basic_node, c.expected.basic_node) << c.what;
    EXPECT_EQ(places.basic_area, c.expected.basic_area) << c.what;
    EXPECT_EQ(places.second_node, c.expected.second_node) << c.what;
    EXPECT_EQ(places.second_area, c.expected.second_area) << c.what;
  }
}

void set_active(std::array<int, 4> ports, std::array<int64_t, 4> area1, std::array<int64_t, 4> area2) {
  set_spaces(area1, area2);
  for (int i = 0; i < node_count; ++i) nconf[i].port = ports[i];
}

TEST(MatrixPlan, ThreeNodesShareTenBytes) {
  // Edges need more than 7 bytes, the middle part more than 6.
  set_active({9201, 0, 9203, 9204}, {8, 99, 6, 8}, {-1, -1, 7, -1});
  test_size_for_write_in_matrix_mode(nconf, permut, 10);
  EXPECT_EQ(permut.nr, 3);
  EXPECT_EQ(permut.part_size, 3);
  EXPECT_EQ(permut.last_part_size, 4);
  EXPECT_EQ(permut.node, (std::array<int, 4>{0, 2, 3, 0}));
  EXPECT_EQ(permut.area, (std::array<int, 4>{1, 2, 1, 0}));
  EXPECT_EQ(permut.node2, permut.node);
  EXPECT_EQ(permut.area2, permut.area);
}

TEST(MatrixPlan, OneNodeGivesTwoPartsWithoutPlaces) {
  set_active({0, 9202, 0, 0}, {1000, 1000, 1000, 1000}, {-1, -1, -1, -1});
  test_size_for_write_in_matrix_mode(nconf, permut, 10);
  EXPECT_EQ(permut.nr, 2);
  EXPECT_EQ(permut.node, (std::array<int, 4>{0, 0, 0, 0}));
}

TEST(MatrixPlan, ANodeWithoutSpaceStopsThePlan) {
  set_active({9201, 9202, 9203, 0}, {8, 6, 8, -1}, {-1, 6, -1, -1});
  test_size_for_write_in_matrix_mode(nconf, permut, 10);
  EXPECT_EQ(permut.nr, 0);
  EXPECT_EQ(permut.node[0], 0);
  EXPECT_EQ(permut.area[0], 1);
  EXPECT_EQ(permut.area[1], 0);
  EXPECT_EQ(permut.area[2], 0);
}

}  // namespace
}  // namespace morbs
