// The node's query port: what each request does to the node's files.
#include <gtest/gtest.h>

#include "core/wire/query_string.h"
#include "tests/e2e/support/datanet.h"
#include "tests/e2e/support/temp_dir.h"

namespace morbs::e2e {
namespace {

const std::string id = "12345678903";
const std::string name = "1514764800000000005:report.pdf";

std::string value(const std::string& reply, const char* key) {
  std::string v;
  select_value(reply, key, v);
  return v;
}

TEST(NodeQueries, ReserveRegisterChangeAndCheck) {
  TempDir dir("queries");
  DataNet net(dir.path(), 1, {{"--capacity", "1000"}});
  EXPECT_EQ(net.request(0, "TEST=H00&"), "SN=1&");
  EXPECT_EQ(net.request(0, "OP=sshpasswd&"), "PA=node1:pass1&PORT_SFTP=" + std::to_string(net.sftp_port(0)) + "&");
  EXPECT_EQ(net.request(0, "OP=chkaccount&ID=" + id + "&"), "ACCOUNTS=noaccount&ACCOUNTS1=noaccount&");

  // A reservation takes space and creates the account.
  auto resv = "OP=resv&ID=" + id + "&DISK=accounts&FN=" + name + "&FSZ=300&";
  EXPECT_EQ(value(net.request(0, resv), "STATUS"), "done");
  EXPECT_EQ(net.request(0, "OP=currentspace&"), "ACCOUNTS=700&ACCOUNTS1=1000&");
  EXPECT_EQ(net.request(0, "OP=chkaccount&ID=" + id + "&"), "ACCOUNTS=ready&ACCOUNTS1=noaccount&");
  auto too_big = "OP=resv&ID=" + id + "&DISK=accounts&FN=1:big&FSZ=701&";
  EXPECT_EQ(value(net.request(0, too_big), "STATUS"), "refused");

  // Registration needs the data in the reserved size.
  auto add = "OP=listfiles&SUB=add&FN=" + name + "&ID=" + id + "&UID32=user01&ORG=0&PORT=" +
             std::to_string(net.query_port(0)) + "&DISK=accounts&";
  EXPECT_EQ(value(net.request(0, add), "STATUS"), "refused");
  write_file(net.account_dir(0, id, "accounts") / name, std::string(300, 'd'));
  EXPECT_EQ(value(net.request(0, add), "STATUS"), "done");
  EXPECT_EQ(value(net.request(0, add), "STATUS"), "refused");  // registered once only
  std::string line = net.list_line(0, id, "accounts", name);
  EXPECT_EQ(line.rfind(add + "CURR=ishere&DATE=", 0), 0u) << line;
  const std::string date = value(line, "DATE");
  ASSERT_EQ(date.size(), 17u);
  EXPECT_EQ(date[8], ' ');
  EXPECT_EQ(net.request(0, "OP=chkfile&ID=" + id + "&DISK=accounts&PFN=" + name + "&"),
            "STATUS=done&FSIZE=300&CP=ok&");

  auto archive = "OP=listARCHI&SUB=add&ID=" + id + "&DISK=accounts&FN=" + name + "&DIRF=auto&ORG=0&PORT=1&";
  EXPECT_EQ(value(net.request(0, archive), "STATUS"), "done");
  EXPECT_NE(read_file(net.account_dir(0, id, "accounts") / "archive_list.q").find(archive), std::string::npos);

  auto chg = [&](const std::string& flag) {
    return net.request(0, "OP=listfiles&SUB=chg&DISK=accounts&FN=" + name + "&ID=" + id + "&CURRNEW=" + flag + "&");
  };
  EXPECT_EQ(value(chg("locked"), "STATUS"), "done");
  EXPECT_EQ(value(net.list_line(0, id, "accounts", name), "CURR"), "locked");
  EXPECT_EQ(value(chg("delete"), "CP"), "file_locked");  // a locked copy stays
  EXPECT_EQ(value(chg("ishere"), "STATUS"), "done");
  EXPECT_EQ(value(chg("delete"), "STATUS"), "done");
  EXPECT_EQ(value(net.list_line(0, id, "accounts", name), "CURR"), "delete");
  EXPECT_FALSE(std::filesystem::exists(net.account_dir(0, id, "accounts") / name));
  EXPECT_EQ(value(chg("delete"), "CP"), "end_chg");
  EXPECT_EQ(net.request(0, "OP=currentspace&"), "ACCOUNTS=1000&ACCOUNTS1=1000&");
  EXPECT_EQ(value(net.request(0, "OP=chkfile&ID=" + id + "&DISK=accounts&PFN=" + name + "&"), "STATUS"), "refused");
  auto unknown = "OP=listfiles&SUB=chg&DISK=accounts&FN=1:none&ID=" + id + "&CURRNEW=delete&";
  EXPECT_EQ(net.request(0, unknown), "STATUS=refused&RE=refused&CP=error_rm_file&");
}

// The client's digest at the end of a registration line is kept in the
// line, and outlives a change of its flag; anything but 64 lower-case hex
// digits is refused, and a node told to know no such field refuses it.
TEST(NodeQueries, AListedDigestIsKeptAsSixtyFourHexDigitsOnly) {
  TempDir dir("queries");
  DataNet net(dir.path(), 2, {{}, {"--refuse-listed-digests"}});
  const std::string sha = "2cf24dba5fb0a30e26e83b2ac5b9e29e1b161e5c1fa7425e73043362938b9824";
  struct Case {
    int node;
    std::string field;
    bool taken;
  } cases[] = {
      {0, "SHA=" + sha + "&", true},
      {0, "SHA=" + sha.substr(1) + "&", false},
      {0, "SHA=" + sha + "a&", false},
      {0, "SHA=2CF24DBA" + sha.substr(8) + "&", false},
      {0, "SHA=" + sha.substr(0, 63) + "g&", false},
      {0, "SHA=&", false},
      {1, "SHA=" + sha + "&", false},
      {1, "", true},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field + " on node " + std::to_string(c.node + 1));
    const std::string fn = "15147648000000000" + std::to_string(10 + n++) + ":d.bin";
    const std::string port = std::to_string(net.query_port(c.node));
    ASSERT_EQ(value(net.request(c.node, "OP=resv&ID=" + id + "&DISK=accounts&FN=" + fn + "&FSZ=3&"), "STATUS"), "done");
    write_file(net.account_dir(c.node, id, "accounts") / fn, "abc");
    const std::string add = "OP=listfiles&SUB=add&FN=" + fn + "&ID=" + id + "&UID32=u&ORG=0&PORT=" + port +
                            "&DISK=accounts&" + c.field;
    const std::string archive =
        "OP=listARCHI&SUB=add&ID=" + id + "&DISK=accounts&FN=" + fn + "&DIRF=auto&ORG=0&PORT=" + port + "&" + c.field;
    EXPECT_EQ(value(net.request(c.node, add), "STATUS") == "done", c.taken);  // refused: "I love you."
    if (!c.taken) continue;
    EXPECT_EQ(net.list_line(c.node, id, "accounts", fn).rfind(add + "CURR=ishere&DATE=", 0), 0u);
    EXPECT_EQ(value(net.request(c.node, archive), "STATUS"), "done");
    EXPECT_EQ(value(net.request(c.node, "OP=listfiles&SUB=chg&DISK=accounts&FN=" + fn + "&ID=" + id +
                                             "&CURRNEW=locked&"),
                    "STATUS"),
              "done");
    const std::string locked = net.list_line(c.node, id, "accounts", fn);
    EXPECT_EQ(value(locked, "CURR"), "locked");
    if (!c.field.empty()) EXPECT_NE(locked.find("&" + c.field), std::string::npos) << locked;
  }
}

TEST(NodeQueries, DeletingAReservationNeverRegisteredFreesIt) {
  TempDir dir("queries");
  DataNet net(dir.path(), 1, {{"--capacity", "1000"}});
  net.request(0, "OP=resv&ID=" + id + "&DISK=accounts1&FN=" + name + "&FSZ=400&");
  // The area now answers "ready", so it has a list to fetch, still empty.
  EXPECT_EQ(read_file(net.account_dir(0, id, "accounts1") / "files_list.q"), "");
  EXPECT_TRUE(std::filesystem::exists(net.account_dir(0, id, "accounts1") / "files_list.q"));
  write_file(net.account_dir(0, id, "accounts1") / name, std::string(100, 'p'));  // half uploaded
  EXPECT_EQ(net.request(0, "OP=currentspace&"), "ACCOUNTS=1000&ACCOUNTS1=600&");
  auto chg = "OP=listfiles&SUB=chg&DISK=accounts1&FN=" + name + "&ID=" + id + "&CURRNEW=delete&";
  EXPECT_EQ(value(net.request(0, chg), "STATUS"), "done");
  EXPECT_FALSE(std::filesystem::exists(net.account_dir(0, id, "accounts1") / name));
  EXPECT_EQ(net.request(0, "OP=currentspace&"), "ACCOUNTS=1000&ACCOUNTS1=1000&");
}

TEST(NodeQueries, MalformedRequestsAreRefusedAndTimeMovesOn) {
  TempDir dir("queries");
  DataNet net(dir.path(), 1);
  for (const char* bad : {"HELLO&", "OP=resv&ID=12345678904&DISK=accounts&FN=1:a&FSZ=1&",
                          "OP=resv&ID=12345678903&DISK=other&FN=1:a&FSZ=1&",
                          "OP=resv&ID=12345678903&DISK=accounts&FN=../../x&FSZ=1&",
                          "OP=resv&ID=12345678903&DISK=accounts&FN=1:a&FSZ=-1&"})
    EXPECT_EQ(net.request(0, bad), "") << bad;  // the refusal: the exchange fails
  std::string previous;
  for (int i = 0; i < 3; ++i) {
    std::string reply = net.request(0, "OP=timeprec&");
    std::string prefix = value(reply, "TIME") + std::string(9 - value(reply, "NANO").size(), '0') + value(reply, "NANO");
    EXPECT_GT(prefix, previous);
    previous = prefix;
  }
  EXPECT_NE(net.log(0).find("HELLO&\n"), std::string::npos);
}

TEST(NodeQueries, StateSurvivesARestart) {
  TempDir dir("queries");
  DataNet net(dir.path(), 1, {{"--capacity", "1000"}});
  net.store_copy(0, id, "accounts", name, "data", "user01", 0);
  net.request(0, "OP=resv&ID=" + id + "&DISK=accounts&FN=1:other&FSZ=100&");
  net.stop(0);
  net.start(0, {"--capacity", "1000"});
  EXPECT_EQ(net.request(0, "OP=currentspace&"), "ACCOUNTS=896&ACCOUNTS1=1000&");
  EXPECT_EQ(value(net.list_line(0, id, "accounts", name), "CURR"), "ishere");
}

}  // namespace
}  // namespace morbs::e2e
