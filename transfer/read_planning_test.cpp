#include "transfer/read_planning.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>

#include "core/wire/scripted_node.h"

namespace morbs {
namespace {

// The run's tables, shared by the cases of this file.
NodeTable nconf;
TransferTable curl_table;

using testing::ScriptedNode;
using Reply = std::function<std::string(const std::string&)>;

const std::string id = "12345678903";
const std::string fn = "1514764800000000005:report.pdf";

// Scripted nodes on consecutive ports; a null reply leaves a port silent.
class Nodes {
 public:
  explicit Nodes(std::array<Reply, 4> replies) {
    std::mt19937 random(std::random_device{}());
    for (int attempt = 0; attempt < 20 && !ok_; ++attempt) {
      nodes_ = {};
      base_ = 20000 + static_cast<int>(random() % 40000);
      ok_ = true;
      for (int i = 0; i < 4; ++i) {
        if (!replies[i]) continue;
        nodes_[i] = std::make_unique<ScriptedNode>(replies[i], ScriptedNode::Behaviour::answer, 0, base_ + i);
        ok_ = ok_ && nodes_[i]->listening();
      }
    }
  }
  bool ready() const { return ok_; }
  int base() const { return base_; }
  ScriptedNode& node(int i) { return *nodes_[i]; }

 private:
  std::array<std::unique_ptr<ScriptedNode>, 4> nodes_;
  int base_ = 0;
  bool ok_ = false;
};

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

std::string local_file_of(const std::string& entry) {
  std::string v;
  select_value(entry, "ST8", v);
  return v;
}

TEST(InitListFilesRead, NumbersTheListsNodeByNodeAccountsFirst) {
  Nodes net({node(1, "ready", "ready"), nullptr, node(3, "nouser", "ready"), nullptr});
  ASSERT_TRUE(net.ready());
  std::string message = "null";
  ASSERT_EQ(init_list_files_read(curl_table, nconf, id, "127.0.0.1", net.base(), message, 0), 0);
  EXPECT_EQ(curl_table.mode, "download");
  EXPECT_EQ(curl_table.part_count, 3);
  EXPECT_EQ(curl_table.part_size, 0);
  EXPECT_EQ(local_file_of(curl_table.basic_entries[0]), "list0");
  EXPECT_EQ(local_file_of(curl_table.second_entries[0]), "list1");
  EXPECT_EQ(local_file_of(curl_table.second_entries[2]), "list2");
  for (int row : {1, 2, 3}) EXPECT_EQ(curl_table.basic_entries[row], "null") << row;
  for (int row : {1, 3}) EXPECT_EQ(curl_table.second_entries[row], "null") << row;
  EXPECT_EQ(curl_table.second_entries[2],
            "ST1=/bin/curl&ST2=curl&ST3=-k&ST4=sftp://127.0.0.1:2222/home/node/MORBS-SYSTEM/MORB3/"
            "ACCOUNTS1/12/34/56/78/90/3/files_list.q&ST5=--user&ST6=node:pw&ST7=-o&ST8=list2&ST9=-Ss&");
}

TEST(InitListFilesRead, EightListsFromFourNodes) {
  Nodes net({node(1, "ready", "ready"), node(2, "ready", "ready"), node(3, "ready", "ready"),
             node(4, "ready", "ready")});
  ASSERT_TRUE(net.ready());
  std::string message;
  ASSERT_EQ(init_list_files_read(curl_table, nconf, id, "127.0.0.1", net.base(), message, 0), 0);
  EXPECT_EQ(curl_table.part_count, 8);
  for (int row = 0; row < 4; ++row) {
    EXPECT_EQ(local_file_of(curl_table.basic_entries[row]), "list" + std::to_string(2 * row));
    EXPECT_EQ(local_file_of(curl_table.second_entries[row]), "list" + std::to_string(2 * row + 1));
  }
}

TEST(InitListFilesRead, AnAreaWithoutLoginIsLeftOutAndTheNumbersStayConsecutive) {
  Nodes net({node(1, "ready", "ready", "", "PA=x:y&PORT_SFTP=null&"), node(2, "ready", "nouser"), nullptr,
             node(4, "ready", "ready")});
  ASSERT_TRUE(net.ready());
  std::string message;
  ASSERT_EQ(init_list_files_read(curl_table, nconf, id, "127.0.0.1", net.base(), message, 0), 0);
  EXPECT_EQ(curl_table.part_count, 3);
  EXPECT_EQ(curl_table.basic_entries[0], "null");
  EXPECT_EQ(local_file_of(curl_table.basic_entries[1]), "list0");
  EXPECT_EQ(local_file_of(curl_table.basic_entries[3]), "list1");
  EXPECT_EQ(local_file_of(curl_table.second_entries[3]), "list2");
}

TEST(InitListFilesRead, NodesWithoutTheAccountPlanNothingAndSucceed) {
  Nodes net({node(1, "nouser", "nouser"), nullptr, nullptr, nullptr});
  ASSERT_TRUE(net.ready());
  std::string message = "null";
  ASSERT_EQ(init_list_files_read(curl_table, nconf, id, "127.0.0.1", net.base(), message, 0), 0);
  EXPECT_EQ(curl_table.part_count, 0);
  EXPECT_EQ(message, "null");
}

TEST(InitListFilesRead, Refusals) {
  Nodes silent({nullptr, nullptr, nullptr, nullptr});
  std::string message;
  EXPECT_EQ(init_list_files_read(curl_table, nconf, id, "127.0.0.1", silent.base(), message, 0), -1);
  EXPECT_EQ(message, "no id-account in the data-network");

  curl_table.mode = "upload-matrix";
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(init_list_files_read(curl_table, nconf, "1234567890", "127.0.0.1", silent.base(), message, 1), -1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Error: id must have 11 chars\n");
  EXPECT_EQ(message, "incorrect id, wrong length");
  EXPECT_EQ(curl_table.mode, "upload-matrix");  // untouched
}

TEST(FileRead, PlansEntryZeroOfTheCopyWithTheNodesSize) {
  Nodes net({nullptr, nullptr, node(7, "ready", "ready", "STATUS=done&FSIZE=5000000000&CP=ok&"), nullptr});
  ASSERT_TRUE(net.ready());
  nconf[3].sn = "stale";
  std::string message = "null";
  ASSERT_EQ(file_read(curl_table, nconf, id, "127.0.0.1", net.base() + 2, "accounts1", "second", "tmp_part_2",
                      fn + ":2", message, 0),
            0);
  EXPECT_EQ(curl_table.mode, "download");
  EXPECT_EQ(curl_table.part_count, 1);
  EXPECT_EQ(curl_table.part_size, 5000000000);
  EXPECT_EQ(curl_table.last_part_size, 0);
  EXPECT_EQ(curl_table.second_entries[0],
            "ST1=/bin/curl&ST2=curl&ST3=-k&ST4=sftp://127.0.0.1:2222/home/node/MORBS-SYSTEM/MORB7/"
            "ACCOUNTS1/12/34/56/78/90/3/" + fn + ":2&ST5=--user&ST6=node:pw&ST7=-o&ST8=tmp_part_2"
            "&ST9=--progress-bar&");
  EXPECT_EQ(curl_table.basic_entries[0], "null");
  EXPECT_EQ(nconf[3].sn, "null");  // the node table was reset
  EXPECT_EQ(net.node(2).requests(),
            (std::vector<std::string>{"TEST=H00&", "OP=sshpasswd&",
                                      "OP=chkfile&ID=" + id + "&DISK=accounts1&PFN=" + fn + ":2&"}));
}

TEST(FileRead, SizeAnswers) {
  struct Case {
    std::string chkfile;
    int result;
    int64_t size;
    std::string message;
  } cases[] = {
      {"STATUS=done&FSIZE=0&CP=ok&", 0, 0, "null"},
      {"STATUS=done&CP=ok&", 0, 0, "null"},  // no size: the part must arrive empty
      {"STATUS=done&FSIZE=abc&", 0, 0, "null"},
      {"STATUS=done&FSIZE=9223372036854775807&", 0, INT64_MAX, "null"},
      {"STATUS=done&FSIZE=9223372036854775808&", -1, 0, "file size is incorrect"},
      {"STATUS=done&FSIZE=-1&", -1, 0, "file size is incorrect"},
  };
  for (const Case& c : cases) {
    Nodes net({node(1, "ready", "ready", c.chkfile), nullptr, nullptr, nullptr});
    ASSERT_TRUE(net.ready());
    std::string message = "null";
    EXPECT_EQ(file_read(curl_table, nconf, id, "127.0.0.1", net.base(), "accounts", "basic", "tmp_part_0", fn,
                        message, 0),
              c.result)
        << c.chkfile;
    EXPECT_EQ(message, c.message) << c.chkfile;
    if (c.result == 0) {
      EXPECT_EQ(curl_table.part_size, c.size) << c.chkfile;
    }
  }
}

TEST(FileRead, Refusals) {
  struct Case {
    std::string name;
    Reply reply;
    int port_offset;
    std::string disk, copy, stored;
    std::string message, printed;
  } cases[] = {
      {"silent port", nullptr, 0, "accounts", "basic", fn, "no node", ""},
      {"port beyond range", node(1, "ready", "ready"), 70000, "accounts", "basic", fn, "no node", ""},
      {"file missing", node(1, "ready", "ready", "STATUS=refused&FSIZE=null&CP=no_file&"), 0, "accounts", "basic",
       fn, "no file in the id-account", "Error: read-file no_file\n"},
      {"no CP", node(1, "ready", "ready", "STATUS=refused&"), 0, "accounts", "basic", fn,
       "no file in the id-account", "Error: read-file NULL\n"},
      {"refused check", node(1, "ready", "ready", "I love you."), 0, "accounts", "basic", fn,
       "no connection to the id-account", ""},
      {"unknown area", node(1, "ready", "ready"), 0, "ACCOUNTS", "basic", fn, "incorrect transfer entry", ""},
      {"no SFTP port", node(1, "ready", "ready", "STATUS=done&FSIZE=1&", "PA=a:b&"), 0, "accounts", "basic", fn,
       "incorrect transfer entry", "Error: [curl] port_sft is NULL\n"},
      {"unknown copy", node(1, "ready", "ready"), 0, "accounts", "Basic", fn, "incorrect transfer entry", ""},
      {"name too long for a request", node(1, "ready", "ready"), 0, "accounts", "basic",
       "1514764800000000005:" + std::string(200, 'n'), "incorrect transfer entry", ""},
  };
  for (const Case& c : cases) {
    Nodes net({c.reply, nullptr, nullptr, nullptr});
    ASSERT_TRUE(net.ready());
    std::string message = "null";
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(file_read(curl_table, nconf, id, "127.0.0.1", net.base() + c.port_offset, c.disk, c.copy,
                        "tmp_part_0", c.stored, message, 1),
              -1)
        << c.name;
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.printed) << c.name;
    EXPECT_EQ(message, c.message) << c.name;
    EXPECT_EQ(curl_table.basic_entries[0], "null") << c.name;
  }
}

TEST(FileRead, AShortIdChangesNeitherTable) {
  init_struct_nconf(nconf, 4);
  nconf[0].sn = "5";
  init_table(curl_table);
  curl_table.basic_entries[0] = "kept";
  std::string message;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(file_read(curl_table, nconf, "1234567890", "127.0.0.1", 1, "accounts", "basic", "p", fn, message, 1),
            -1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Error: id must have 11 chars\n");
  EXPECT_EQ(message, "incorrect id, wrong length");
  EXPECT_EQ(nconf[0].sn, "5");
  EXPECT_EQ(curl_table.basic_entries[0], "kept");
}

}  // namespace
}  // namespace morbs
