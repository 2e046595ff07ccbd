// Node queries and write selection against running nodes.
#include <gtest/gtest.h>

#include "core/nodes/node_queries.h"
#include "core/nodes/node_selection.h"
#include "tests/e2e/support/datanet.h"
#include "tests/e2e/support/temp_dir.h"

namespace morbs::e2e {
namespace {

// The run's tables, shared by the cases of this file.
NodeTable nconf;
permut_rec permut;

using Args = std::vector<std::string>;

Args capacity(int64_t accounts, int64_t accounts1) {
  return {"--capacity-accounts", std::to_string(accounts), "--capacity-accounts1", std::to_string(accounts1)};
}

RecordingReporter quiet(false);
NetworkExchange exchange({1, 0}, quiet);

TEST(NodeTable, AllFourUpThenOneDown) {
  TempDir dir("selection");
  DataNet net(dir.path(), 4, {capacity(100, 200), capacity(300, 400), capacity(500, 600), capacity(700, 800)});
  test_nodes_for_write(nconf, "127.0.0.1", net.base_port(), exchange);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(nconf[i].sn, std::to_string(i + 1));
    EXPECT_EQ(nconf[i].port, net.query_port(i));
    EXPECT_EQ(nconf[i].accounts, "accounts");
    EXPECT_EQ(nconf[i].space, 100 + 200 * i);
    EXPECT_EQ(nconf[i].space1, 200 + 200 * i);
    EXPECT_EQ(nconf[i].passwd, net.user(i) + ":" + net.password(i));
    EXPECT_EQ(nconf[i].port_sftp, std::to_string(net.sftp_port(i)));
  }
  net.stop(2);
  test_nodes_for_read(nconf, "127.0.0.1", net.base_port(), "12345678903", exchange);
  EXPECT_EQ(nconf[2].sn, "null");
  EXPECT_EQ(nconf[2].port, 0);
  EXPECT_EQ(nconf[2].passwd, "null");
  EXPECT_EQ(nconf[3].sn, "4");
  EXPECT_EQ(nconf[3].accounts, "noaccount");
  EXPECT_EQ(nconf[3].passwd, "node4:pass4");
}

// One node refusing a question costs only that node: the others are still
// asked and keep their logins.
TEST(NodeTable, ARefusalInTheMiddleCostsOnlyThatNode) {
  TempDir dir("selection");
  DataNet net(dir.path(), 4);
  init_struct_nconf(nconf, 4);
  get_active_nodes(nconf, "127.0.0.1", net.base_port(), 4, exchange);
  net.start(1, {"--refuse-all"});
  get_passwd_node(nconf, "127.0.0.1", net.base_port(), 4, exchange);
  EXPECT_EQ(nconf[0].passwd, "node1:pass1");
  EXPECT_EQ(nconf[1].passwd, "null");
  EXPECT_EQ(nconf[2].passwd, "node3:pass3");
  EXPECT_EQ(nconf[3].passwd, "node4:pass4");
}

TEST(WriteSelection, SingularPlaces) {
  TempDir dir("selection");
  {
    DataNet net(dir.path(), 4, {capacity(100, 0), capacity(500, 0), capacity(500, 0), {}});
    net.stop(3);
    auto places = test_write_in_singular_mode(nconf, "127.0.0.1", net.base_port(), 200, exchange);
    EXPECT_EQ(places.basic_node, 2);  // a tie goes to the later node
    EXPECT_EQ(places.basic_area, 1);
    EXPECT_EQ(places.second_node, 1);
    EXPECT_EQ(places.second_area, 1);
    places = test_write_in_singular_mode(nconf, "127.0.0.1", net.base_port(), 501, exchange);
    EXPECT_EQ(places.basic_node, -1);
  }
  // The second copy falls back to another node's second area.
  DataNet net(dir.path(), 3, {capacity(900, 50), capacity(10, 800), capacity(5, 700)});
  auto places = test_write_in_singular_mode(nconf, "127.0.0.1", net.base_port(), 300, exchange);
  EXPECT_EQ(places.basic_node, 0);
  EXPECT_EQ(places.basic_area, 1);
  EXPECT_EQ(places.second_node, 2);
  EXPECT_EQ(places.second_area, 2);
}

TEST(WriteSelection, MatrixPlans) {
  TempDir dir("selection");
  {
    DataNet net(dir.path(), 3, {capacity(8, 0), capacity(6, 7), capacity(8, 0)});
    test_write_in_matrix_mode(nconf, permut, "127.0.0.1", net.base_port(), 10, exchange);
    EXPECT_EQ(permut.nr, 3);
    EXPECT_EQ(permut.part_size, 3);
    EXPECT_EQ(permut.last_part_size, 4);
    EXPECT_EQ(permut.node, (std::array<int, 4>{0, 1, 2, 0}));
    EXPECT_EQ(permut.area, (std::array<int, 4>{1, 2, 1, 0}));
    net.start(1, capacity(6, 6));  // no room in either area
    test_write_in_matrix_mode(nconf, permut, "127.0.0.1", net.base_port(), 10, exchange);
    EXPECT_EQ(permut.nr, 0);
    EXPECT_EQ(permut.area[0], 1);
    EXPECT_EQ(permut.area[1], 0);
  }
  DataNet net(dir.path(), 1);
  test_write_in_matrix_mode(nconf, permut, "127.0.0.1", net.base_port(), 10, exchange);
  EXPECT_EQ(permut.nr, 2);
  EXPECT_EQ(permut.node, (std::array<int, 4>{0, 0, 0, 0}));
}

}  // namespace
}  // namespace morbs::e2e
