// The nodes asked their questions side by side, over loopback.
#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "core/nodes/node_queries.h"
#include "core/nodes/node_selection.h"
#include "core/wire/scripted_node.h"

namespace morbs {
namespace {

using Reply = testing::FourNodes::Reply;

Reply answers(std::map<std::string, std::string> by_request) {
  return [by_request](const std::string& request) {
    for (const auto& [prefix, reply] : by_request)
      if (request.rfind(prefix, 0) == 0) return reply;
    return std::string("STATUS=refused&");
  };
}

auto fields(const node_conf& n) {
  return std::tie(n.sn, n.port, n.accounts, n.accounts1, n.space, n.space1, n.passwd, n.port_sftp);
}

// Asking the nodes side by side must leave the table exactly as asking them
// one after another does, whatever each node answers or fails to.
TEST(NodesSideBySide, FillTheTableAsAskingNodeAfterNodeDoes) {
  Reply good = answers({{"TEST", "SN=1&"},
                        {"OP=chkaccount", "ACCOUNTS=ready&ACCOUNTS1=nouser&"},
                        {"OP=currentspace", "ACCOUNTS=123456789012&ACCOUNTS1=null&"},
                        {"OP=sshpasswd", "PA=morb:secret&PORT_SFTP=2222&"}});
  Reply odd = answers({{"TEST", "SN=2&"},
                       {"OP=chkaccount", "ACCOUNTS1=ready&"},
                       {"OP=currentspace", "ACCOUNTS=99999999999999999999&ACCOUNTS1=7&"},
                       {"OP=sshpasswd", "PA=" + std::string(200, 'p') + "&PORT_SFTP=1&"}});
  Reply silent = answers({{"TEST", "NOSN=1&"}});
  testing::FourNodes net({good, odd, nullptr, silent});
  ASSERT_TRUE(net.ready());
  RecordingReporter quiet(false);
  NetworkExchange exchange({0, 150000}, quiet);

  NodeTable side_by_side, one_by_one;
  test_nodes_for_write(side_by_side, "127.0.0.1", net.base(), exchange);
  init_struct_nconf(one_by_one, node_count);
  get_active_nodes(one_by_one, "127.0.0.1", net.base(), node_count, exchange);
  get_free_space(one_by_one, "127.0.0.1", net.base(), node_count, exchange);
  get_passwd_node(one_by_one, "127.0.0.1", net.base(), node_count, exchange);
  for (int i = 0; i < node_count; ++i) EXPECT_EQ(fields(side_by_side[i]), fields(one_by_one[i])) << "write, node " << i;
  EXPECT_EQ(side_by_side[0].space, 123456789012);
  EXPECT_EQ(side_by_side[1].passwd, "null");  // too long a login is refused

  test_nodes_for_read(side_by_side, "127.0.0.1", net.base(), "12345678903", exchange);
  init_struct_nconf(one_by_one, node_count);
  get_active_nodes(one_by_one, "127.0.0.1", net.base(), node_count, exchange);
  get_accounts_for_id(one_by_one, "127.0.0.1", net.base(), node_count, "12345678903", exchange);
  get_passwd_node(one_by_one, "127.0.0.1", net.base(), node_count, exchange);
  for (int i = 0; i < node_count; ++i) EXPECT_EQ(fields(side_by_side[i]), fields(one_by_one[i])) << "read, node " << i;
  EXPECT_EQ(side_by_side[0].accounts, "accounts");
  EXPECT_EQ(side_by_side[0].passwd, "morb:secret");
}

}  // namespace
}  // namespace morbs
