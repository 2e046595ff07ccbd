#include "transfer/read_planning.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>

#include "core/wire/scripted_node.h"

namespace morbs {
namespace {

// The run's node table, shared by the cases of this file.
NodeTable nconf;

RecordingReporter quiet(false);
NetworkExchange exchange({1, 0}, quiet);

using testing::ScriptedNode;
using Reply = std::function<std::string(const std::string&)>;

const std::string id = "12345678903";
const std::string fn = "1514764800000000005:report.pdf";

using Nodes = testing::FourNodes;

// A node with number `sn`, the account in the areas given, and `chkfile`
// as its answer to a file check.
Reply node(int sn, const std::string& accounts, const std::string& accounts1,
           const std::string& chkfile = "STATUS=done&FSIZE=9096&CP=ok&",
           const std::string& login = "PA=node:pw&PORT_SFTP=2222&") {
  return [=](const std::string& request) -> std::string {
    if (request == "TEST=H00&") return "SN=" + std::to_string(sn) + "&";
    if (request.rfind("OP=chkaccount&", 0) == 0) return "ACCOUNTS=" + accounts + "&ACCOUNTS1=" + accounts1 + "&";
    if (request == "OP=sshpasswd&") return login;
    if (request.rfind("OP=chkfile&", 0) == 0) return chkfile;
    return "STATUS=refused&";
  };
}


std::vector<std::string> urls_of(const std::vector<Transfer>& lists) {
  std::vector<std::string> urls;
  for (const Transfer& t : lists) urls.push_back(t.url);
  return urls;
}

const std::string account_path = "/12/34/56/78/90/3/files_list.q";

TEST(InitListFilesRead, ListsNodeByNodeAccountsFirst) {
  Nodes net({node(1, "ready", "ready"), nullptr, node(3, "nouser", "ready"), nullptr});
  ASSERT_TRUE(net.ready());
  RecordingReporter reporter;
  auto lists = init_list_files_read(nconf, id, "127.0.0.1", net.base(), exchange, reporter);
  ASSERT_TRUE(lists.ok()) << lists.why();
  const std::string at = "sftp://127.0.0.1:2222/home/node/MORBS-SYSTEM/";
  EXPECT_EQ(urls_of(*lists), (std::vector<std::string>{at + "MORB1/ACCOUNTS" + account_path,
                                                       at + "MORB1/ACCOUNTS1" + account_path,
                                                       at + "MORB3/ACCOUNTS1" + account_path}));
  const Transfer& t = (*lists)[2];
  EXPECT_EQ(t.direction, Direction::download);
  EXPECT_EQ(t.copy, Copy::second);
  EXPECT_EQ(t.login, "node:pw");
  EXPECT_FALSE(t.progress);
  EXPECT_TRUE(t.local.empty());  // into a region the caller gives
}

TEST(InitListFilesRead, AnAreaWithoutLoginIsLeftOut) {
  Nodes net({node(1, "ready", "ready", "", "PA=x:y&PORT_SFTP=null&"), node(2, "ready", "nouser"), nullptr,
             node(4, "ready", "ready")});
  ASSERT_TRUE(net.ready());
  RecordingReporter reporter(false);
  auto lists = init_list_files_read(nconf, id, "127.0.0.1", net.base(), exchange, reporter);
  ASSERT_TRUE(lists.ok());
  EXPECT_EQ(lists->size(), 3u);
}

TEST(InitListFilesRead, NodesWithoutTheAccountPlanNothingAndSucceed) {
  Nodes net({node(1, "nouser", "nouser"), nullptr, nullptr, nullptr});
  ASSERT_TRUE(net.ready());
  RecordingReporter reporter(false);
  auto lists = init_list_files_read(nconf, id, "127.0.0.1", net.base(), exchange, reporter);
  ASSERT_TRUE(lists.ok());
  EXPECT_TRUE(lists->empty());
}

TEST(InitListFilesRead, Refusals) {
  Nodes silent({nullptr, nullptr, nullptr, nullptr});
  RecordingReporter reporter(true);
  EXPECT_EQ(init_list_files_read(nconf, id, "127.0.0.1", silent.base(), exchange, reporter).why(),
            "no id-account in the data-network");
  reporter.said.clear();
  EXPECT_EQ(init_list_files_read(nconf, "1234567890", "127.0.0.1", silent.base(), exchange, reporter).why(),
            "incorrect id, wrong length");
  EXPECT_EQ(reporter.said, "Error: id must have 11 chars\n");
}

TEST(FileRead, PlansTheCopyWithTheNodesSize) {
  Nodes net({nullptr, nullptr, node(7, "ready", "ready", "STATUS=done&FSIZE=5000000000&CP=ok&"), nullptr});
  ASSERT_TRUE(net.ready());
  nconf[3].sn = "stale";
  RecordingReporter reporter(false);
  auto piece = file_read(nconf, id, "127.0.0.1", net.base() + 2, "accounts1", Copy::second, fn + ":2", exchange, reporter);
  ASSERT_TRUE(piece.ok()) << piece.why();
  EXPECT_EQ(piece->size, 5000000000);
  EXPECT_EQ(piece->transfer.url,
            "sftp://127.0.0.1:2222/home/node/MORBS-SYSTEM/MORB7/ACCOUNTS1/12/34/56/78/90/3/" + fn + ":2");
  EXPECT_EQ(piece->transfer.copy, Copy::second);
  EXPECT_TRUE(piece->transfer.progress);
  EXPECT_EQ(nconf[3].sn, "null");  // the node table was reset
  EXPECT_EQ(net.node(2).requests(),
            (std::vector<std::string>{"TEST=H00&", "OP=sshpasswd&",
                                      "OP=chkfile&ID=" + id + "&DISK=accounts1&PFN=" + fn + ":2&"}));
}

TEST(FileRead, SizeAndDigestAnswers) {
  const std::string digest(64, 'a');
  struct Case {
    std::string chkfile;
    int64_t size;  // -1: refused
    std::string message;
    std::string digest;  // empty: none
  } cases[] = {
      {"STATUS=done&FSIZE=0&CP=ok&", 0, "", ""},
      {"STATUS=done&CP=ok&", 0, "", ""},  // no size: the part must arrive empty
      {"STATUS=done&FSIZE=abc&", 0, "", ""},
      {"STATUS=done&FSIZE=9223372036854775807&", INT64_MAX, "", ""},
      {"STATUS=done&FSIZE=9223372036854775808&", -1, "file size is incorrect", ""},
      {"STATUS=done&FSIZE=-1&", -1, "file size is incorrect", ""},
      {"STATUS=done&FSIZE=3&CP=ok&SHA256=" + digest + "&", 3, "", digest},
      // A digest that is not one is no digest: the copy is checked by size.
      {"STATUS=done&FSIZE=3&SHA256=" + digest.substr(1) + "&", 3, "", ""},
      {"STATUS=done&FSIZE=3&SHA256=" + std::string(64, 'A') + "&", 3, "", ""},
      {"STATUS=done&FSIZE=3&SHA256=" + digest.substr(1) + "g&", 3, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chkfile);
    Nodes net({node(1, "ready", "ready", c.chkfile), nullptr, nullptr, nullptr});
    ASSERT_TRUE(net.ready());
    RecordingReporter reporter(false);
    auto piece = file_read(nconf, id, "127.0.0.1", net.base(), "accounts", Copy::basic, fn, exchange, reporter);
    EXPECT_EQ(piece.why(), c.message);
    if (!piece.ok()) continue;
    EXPECT_EQ(piece->size, c.size);
    EXPECT_EQ(piece->sha256.value_or(""), c.digest);
  }
}

TEST(FileRead, Refusals) {
  struct Case {
    std::string name;
    Reply reply;
    int port_offset;
    std::string disk, stored;
    std::string message, printed;
  } cases[] = {
      {"silent port", nullptr, 0, "accounts", fn, "no node", ""},
      {"port beyond range", node(1, "ready", "ready"), 70000, "accounts", fn, "no node", ""},
      {"file missing", node(1, "ready", "ready", "STATUS=refused&FSIZE=null&CP=no_file&"), 0, "accounts", fn,
       "no file in the id-account", "Error: read-file no_file\n"},
      {"no CP", node(1, "ready", "ready", "STATUS=refused&"), 0, "accounts", fn, "no file in the id-account",
       "Error: read-file NULL\n"},
      {"refused check", node(1, "ready", "ready", "I love you."), 0, "accounts", fn,
       "no connection to the id-account", ""},
      {"unknown area", node(1, "ready", "ready"), 0, "ACCOUNTS", fn, "incorrect transfer entry", ""},
      {"no SFTP port", node(1, "ready", "ready", "STATUS=done&FSIZE=1&", "PA=a:b&"), 0, "accounts", fn,
       "incorrect transfer entry", "Error: [curl] port_sft is NULL\n"},
      {"a name that leaves the account", node(1, "ready", "ready"), 0, "accounts", "1514764800000000005:../../x",
       "incorrect transfer entry", ""},
      {"a name with a URL's own characters", node(1, "ready", "ready"), 0, "accounts",
       "1514764800000000005:a?b#c", "incorrect transfer entry", ""},
      {"a login that is more than a user", node(1, "ready", "ready", "STATUS=done&FSIZE=1&", "PA=a/../b:c&PORT_SFTP=22&"),
       0, "accounts", fn, "incorrect transfer entry", ""},
      {"a port that is no number", node(1, "ready", "ready", "STATUS=done&FSIZE=1&", "PA=a:b&PORT_SFTP=22/x&"), 0,
       "accounts", fn, "incorrect transfer entry", ""},
      {"name too long for a request", node(1, "ready", "ready"), 0, "accounts",
       "1514764800000000005:" + std::string(200, 'n'), "incorrect transfer entry", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Nodes net({c.reply, nullptr, nullptr, nullptr});
    ASSERT_TRUE(net.ready());
    RecordingReporter reporter(true);
    auto piece =
        file_read(nconf, id, "127.0.0.1", net.base() + c.port_offset, c.disk, Copy::basic, c.stored, exchange, reporter);
    EXPECT_FALSE(piece.ok());
    EXPECT_EQ(reporter.said, c.printed);
    EXPECT_EQ(piece.why(), c.message);
  }
}

TEST(FileRead, AShortIdChangesNoTable) {
  init_struct_nconf(nconf, 4);
  nconf[0].sn = "5";
  RecordingReporter reporter(true);
  EXPECT_EQ(file_read(nconf, "1234567890", "127.0.0.1", 1, "accounts", Copy::basic, fn, exchange, reporter).why(),
            "incorrect id, wrong length");
  EXPECT_EQ(reporter.said, "Error: id must have 11 chars\n");
  EXPECT_EQ(nconf[0].sn, "5");
}

}  // namespace
}  // namespace morbs
