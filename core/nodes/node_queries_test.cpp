#include "core/nodes/node_queries.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>

#include "core/nodes/node_table.h"
#include "core/wire/scripted_node.h"

namespace morbs {
namespace {

// The run's tables, shared by the cases of this file.
NodeTable nconf;

using testing::ScriptedNode;
using Reply = std::function<std::string(const std::string&)>;

using testing::FourNodes;

// Node questions over loopback, their own failures told nowhere.
RecordingReporter quiet(false);
NetworkExchange exchange({0, 150000}, quiet);

Reply answers(std::map<std::string, std::string> by_request) {
  return [by_request](const std::string& request) {
    for (const auto& [prefix, reply] : by_request)
      if (request.rfind(prefix, 0) == 0) return reply;
    return std::string("STATUS=refused&");
  };
}

TEST(NodeQueries, NoNodeListeningLeavesAnEmptyTable) {
  FourNodes net({nullptr, nullptr, nullptr, nullptr});
  init_struct_nconf(nconf, 4);
  get_active_nodes(nconf, "127.0.0.1", net.base(), 4, exchange);
  get_free_space(nconf, "127.0.0.1", net.base(), 4, exchange);
  get_passwd_node(nconf, "127.0.0.1", net.base(), 4, exchange);
  for (const auto& n : nconf) {
    EXPECT_EQ(n.sn, "null");
    EXPECT_EQ(n.port, 0);
    EXPECT_EQ(n.space, -1);
    EXPECT_EQ(n.passwd, "null");
  }
}

TEST(NodeQueries, LivenessAnswersAndTheirMarkers) {
  FourNodes net({answers({{"TEST", "SN=&"}}), answers({{"TEST", "OK=1&"}}),
                 answers({{"TEST", "SN=12345678&"}}), answers({{"TEST", "SN=4&"}})});
  ASSERT_TRUE(net.ready());
  init_struct_nconf(nconf, 4);
  get_active_nodes(nconf, "127.0.0.1", net.base(), 4, exchange);
  EXPECT_EQ(nconf[0].sn, "");
  EXPECT_EQ(nconf[0].port, net.base());
  EXPECT_EQ(nconf[1].sn, "NULL");  // answered without SN: still asked later
  EXPECT_EQ(nconf[1].port, 0);
  EXPECT_EQ(nconf[2].sn, "null");  // longer than its field: refused
  EXPECT_EQ(nconf[2].port, 0);
  EXPECT_EQ(nconf[3].sn, "4");
  EXPECT_EQ(nconf[3].port, net.base() + 3);
}

TEST(NodeQueries, AccountsSpaceAndLogins) {
  Reply node = answers({{"TEST", "SN=1&"},
                        {"OP=chkaccount", "ACCOUNTS=ready&ACCOUNTS1=nouser&"},
                        {"OP=currentspace", "ACCOUNTS=123456789012&ACCOUNTS1=null&"},
                        {"OP=sshpasswd", "PA=morb:secret&PORT_SFTP=2222&"}});
  Reply odd = answers({{"TEST", "NOSN=1&"},
                       {"OP=chkaccount", "ACCOUNTS1=ready&"},
                       {"OP=currentspace", "ACCOUNTS=99999999999999999999&ACCOUNTS1=7&"},
                       {"OP=sshpasswd", "PA=" + std::string(200, 'p') + "&PORT_SFTP=1&"}});
  FourNodes net({node, odd, nullptr, nullptr});
  ASSERT_TRUE(net.ready());
  init_struct_nconf(nconf, 4);
  get_active_nodes(nconf, "127.0.0.1", net.base(), 4, exchange);
  get_accounts_for_id(nconf, "127.0.0.1", net.base(), 4, "12345678903", exchange);
  EXPECT_EQ(nconf[0].accounts, "accounts");
  EXPECT_EQ(nconf[0].accounts1, "nouser");
  EXPECT_EQ(nconf[1].accounts, "null");
  EXPECT_EQ(nconf[1].accounts1, "accounts1");
  get_free_space(nconf, "127.0.0.1", net.base(), 4, exchange);
  EXPECT_EQ(nconf[0].space, 123456789012);
  EXPECT_EQ(nconf[0].accounts, "accounts");
  EXPECT_EQ(nconf[0].space1, -1);
  EXPECT_EQ(nconf[0].accounts1, "null");
  EXPECT_EQ(nconf[1].space, -1);  // out of range
  EXPECT_EQ(nconf[1].space1, 7);
  get_passwd_node(nconf, "127.0.0.1", net.base(), 4, exchange);
  EXPECT_EQ(nconf[0].passwd, "morb:secret");
  EXPECT_EQ(nconf[0].port_sftp, "2222");
  EXPECT_EQ(nconf[1].passwd, "null");  // 200 characters: refused
  EXPECT_EQ(net.node(0).requests(),
            (std::vector<std::string>{"TEST=H00&", "OP=chkaccount&ID=12345678903&",
                                      "OP=currentspace&", "OP=sshpasswd&"}));
}

// A node that fails a question costs only itself: the nodes after it are
// still asked.
TEST(NodeQueries, ARefusalCostsOnlyThatNode) {
  Reply node = answers({{"TEST", "SN=1&"}, {"OP=currentspace", "ACCOUNTS=5&ACCOUNTS1=5&"}});
  Reply refuses_space = answers({{"TEST", "SN=2&"}, {"OP=currentspace", "I love you."}});
  FourNodes net({node, refuses_space, node, node});
  ASSERT_TRUE(net.ready());
  init_struct_nconf(nconf, 4);
  get_active_nodes(nconf, "127.0.0.1", net.base(), 4, exchange);
  get_free_space(nconf, "127.0.0.1", net.base(), 4, exchange);
  EXPECT_EQ(nconf[0].space, 5);
  EXPECT_EQ(nconf[1].space, -1);
  EXPECT_EQ(nconf[1].accounts, "null");  // nothing is written where nothing is known
  EXPECT_EQ(nconf[2].space, 5);
  EXPECT_EQ(nconf[3].space, 5);
  EXPECT_EQ(net.node(2).requests().size(), 2u);
}

}  // namespace
}  // namespace morbs
