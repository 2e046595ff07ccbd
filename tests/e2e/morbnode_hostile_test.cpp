// Hostile requests on the query port: each is refused or kept to its own
// fields, and afterwards the node is up, its free space right and its lists
// as they were. State on disk that fails the checks is skipped at start.
#include <gtest/gtest.h>

#include <regex>

#include "core/wire/query_string.h"
#include "tests/e2e/support/datanet.h"
#include "tests/e2e/support/temp_dir.h"

namespace morbs::e2e {
namespace {

const std::string id = "12345678903";

std::string value(const std::string& reply, const char* key) {
  std::string v;
  select_value(reply, key, v);
  return v;
}

std::string add_request(const std::string& name, const std::string& tail = "UID32=u&ORG=0&PORT=1&") {
  return "OP=listfiles&SUB=add&FN=" + name + "&ID=" + id + "&" + tail + "DISK=accounts&";
}

// Every line whole: closed by its line end, and a query string of its own.
void expect_whole_lines(const std::string& list) {
  ASSERT_TRUE(list.empty() || list.back() == '\n') << list;
  size_t start = 0;
  while (start < list.size()) {
    const size_t end = list.find('\n', start);
    const std::string line = list.substr(start, end - start);
    EXPECT_EQ(line.rfind("OP=listfiles&SUB=add&FN=", 0), 0u) << line;
    EXPECT_NE(line.find("&CURR="), std::string::npos) << line;
    EXPECT_EQ(line.back(), '&') << line;
    start = end + 1;
  }
}

class NodeHostile : public ::testing::Test {
 protected:
  NodeHostile() : net_(dir_.path(), 1, {{"--capacity", "1000"}}) {
    net_.store_copy(0, id, "accounts", "1:locked.pdf", std::string(10, 'L'), "u", 0);
    net_.store_copy(0, id, "accounts", "1:plain", std::string(20, 'P'), "u", 0);
    chg("1:locked.pdf", "locked");
  }
  std::string chg(const std::string& name, const std::string& flag) {
    return net_.request(0, "OP=listfiles&SUB=chg&DISK=accounts&FN=" + name + "&ID=" + id + "&CURRNEW=" + flag + "&");
  }
  std::string list() const { return read_file(net_.account_dir(0, id, "accounts") / "files_list.q"); }
  std::string space() const { return net_.request(0, "OP=currentspace&"); }

  TempDir dir_{"hostile"};
  DataNet net_;
};

TEST_F(NodeHostile, MalformedOrOutOfRangeRequestsAreRefusedAndChangeNothing) {
  const std::string resv = "OP=resv&ID=" + id + "&DISK=accounts&FN=";
  const std::string requests[] = {
      resv + "1:a&FSZ=9000000000000000000&",  // more than any area holds
      resv + "1:a&FSZ=99999999999999999999&",  // beyond 64 bits
      resv + "1:a&FSZ=-1&", resv + "1:a&FSZ=+5&", resv + "1:a&FSZ= 5&", resv + "1:a&FSZ=5x&",
      resv + "1:a&FSZ=&", resv + "1:a&",
      resv + "1:a&FSZ=1&FSZ=900&",  // a key twice
      resv + "1:a\tb&FSZ=1&", resv + "1:a\x7f&FSZ=1&",  // control characters
      resv + "../../x&FSZ=1&", resv + "1:a/b&FSZ=1&", resv + "noprefix&FSZ=1&",
      resv + "1:" + std::string(254, 'n') + "&FSZ=1&",
      "OP=resv&ID=...........&DISK=accounts&FN=1:a&FSZ=1&",  // an id that climbs out of the area
      "OP=resv&ID=12/45/78/03&DISK=accounts&FN=1:a&FSZ=1&",
      "OP=resv&ID=12345678904&DISK=accounts&FN=1:a&FSZ=1&",  // wrong check digit
      "OP=resv&ID=" + id + "&DISK=ACCOUNTS/..&FN=1:a&FSZ=1&",
      "OP=resv&ID=" + id + "&DISK=accounts&FN=1:a&FSZ=1",  // last field not closed
      "OP=resv&ID=" + id + "&=accounts&FN=1:a&FSZ=1&", "OP=resv&ID&FN=1:a&FSZ=1&",
      // A line end inside a registration would forge a second list line.
      add_request("1:plain", "UID32=u\nFN=1:locked.pdf&ID=" + id + "&CURR=ishere&"),
      add_request("1:plain", "UID32=u\r&"),
      add_request("1:plain", "CURR=delete&"),  // the node writes the flag itself
      "OP=listfiles&SUB=chg&DISK=accounts&FN=1:locked.pdf&ID=" + id + "&CURRNEW=delete\n&",
      "OP=listfiles&SUB=chg&DISK=accounts&FN=1:locked.pdf&ID=" + id + "&CURRNEW=gone&",
      "OP=chkfile&ID=" + id + "&DISK=accounts&PFN=../../../../../../../../../../etc/passwd&",
      "OP=currentspace&X=1&", "TEST=H00&X=1&", "OP=timeprec", "",
  };
  const std::string list_before = list(), space_before = space();
  for (const auto& r : requests) {
    EXPECT_EQ(net_.request(0, r), "") << r;  // the refusal: the exchange fails
    EXPECT_EQ(net_.request(0, "TEST=H00&"), "SN=1&") << r;
  }
  EXPECT_EQ(list(), list_before);
  EXPECT_EQ(space(), space_before);
  EXPECT_EQ(read_file(net_.account_dir(0, id, "accounts") / "1:locked.pdf"), std::string(10, 'L'));
  EXPECT_EQ(read_file(net_.root(0) / "private" / "reservations.q"), "");
}

// A value that holds another key's text is that value and nothing more.
TEST_F(NodeHostile, AKeyInsideAValueIsNeverRead) {
  // Read back as a size of 9e18, this once broke the free space for good.
  const std::string sly = "1:aFSZ=9000000000000000000";
  EXPECT_EQ(value(net_.request(0, "OP=resv&ID=" + id + "&DISK=accounts&FN=" + sly + "&FSZ=1&"), "STATUS"), "done");
  EXPECT_EQ(space(), "ACCOUNTS=969&ACCOUNTS1=1000&");
  net_.stop(0);
  net_.start(0, {"--capacity", "1000"});
  EXPECT_EQ(space(), "ACCOUNTS=969&ACCOUNTS1=1000&");

  // A name that holds "CURRNEW=delete" asked to be locked is locked, not deleted.
  const std::string named = "1:xCURRNEW=delete";
  net_.store_copy(0, id, "accounts", named, "keep", "u", 0);
  EXPECT_EQ(value(chg(named, "locked"), "STATUS"), "done");
  EXPECT_EQ(value(net_.list_line(0, id, "accounts", named), "CURR"), "locked");
  EXPECT_EQ(read_file(net_.account_dir(0, id, "accounts") / named), "keep");
}

TEST_F(NodeHostile, ALockedCopyListedTwiceStaysLocked) {
  // A list written by an older node with a forged second line for the file.
  const auto path = net_.account_dir(0, id, "accounts") / "files_list.q";
  write_file(path, list() + "FN=1:locked.pdf&ID=" + id + "&CURR=ishere&\n");
  EXPECT_EQ(value(chg("1:locked.pdf", "delete"), "CP"), "file_locked");
  EXPECT_EQ(read_file(net_.account_dir(0, id, "accounts") / "1:locked.pdf"), std::string(10, 'L'));
}

TEST_F(NodeHostile, ARestartOverBadReservationsSkipsThemAndServes) {
  net_.stop(0);
  write_file(net_.root(0) / "private" / "reservations.q",
             "ID=" + id + "&DISK=accounts&FN=1:ok&FSZ=100&\n"
             "ID=" + id + "&DISK=accounts&FN=1:big&FSZ=9000000000000000000&\n"
             "ID=...........&DISK=accounts&FN=1:x&FSZ=1&\n"
             "ID=" + id + "&DISK=accounts&FN=../x&FSZ=1&\n"
             "garbage\n"
             "ID=" + id + "&DISK=accounts&FN=1:ok&FSZ=500&\n"  // the same name again
             "ID=1234");                                         // cut short
  net_.start(0, {"--capacity", "1000"});
  EXPECT_EQ(net_.request(0, "TEST=H00&"), "SN=1&");
  EXPECT_EQ(space(), "ACCOUNTS=870&ACCOUNTS1=1000&");
  const std::string out = read_file(net_.root(0).string() + ".out");
  for (const char* line : {"line 2 ", "line 3 ", "line 4 ", "line 5 ", "line 6 ", "line 7 "})
    EXPECT_NE(out.find(line), std::string::npos) << line << out;
  EXPECT_EQ(out.find("line 1 "), std::string::npos) << out;
  // What was skipped is gone at the next change; what was valid stays.
  EXPECT_EQ(value(net_.request(0, "OP=resv&ID=" + id + "&DISK=accounts&FN=1:new&FSZ=1&"), "STATUS"), "done");
  // Each kept with the time it was made, from which it expires.
  const std::string kept = std::regex_replace(read_file(net_.root(0) / "private" / "reservations.q"),
                                              std::regex("AT=[0-9]{10}&"), "AT=&");
  EXPECT_EQ(kept, "ID=" + id + "&DISK=accounts&FN=1:ok&FSZ=100&AT=&\nID=" + id + "&DISK=accounts&FN=1:new&FSZ=1&AT=&\n");
}

// On a full disk a registration fails as a whole: the list keeps every line
// whole, the answer says so, and the retry on a disk with room succeeds.
TEST(NodeFullDisk, AFailedAppendLeavesTheListAsItWas) {
  TempDir dir("fulldisk");
  DataNet net(dir.path(), 1, {{"--capacity", "100000", "--disk-full-at", "600"}});
  const auto list_path = net.account_dir(0, id, "accounts") / "files_list.q";
  int added = 0;
  std::string failed;
  for (int i = 0; i < 20 && failed.empty(); ++i) {
    const std::string name = "1514764800000000005:file" + std::to_string(i);
    EXPECT_EQ(value(net.request(0, "OP=resv&ID=" + id + "&DISK=accounts&FN=" + name + "&FSZ=3&"), "STATUS"),
              "done");
    write_file(net.account_dir(0, id, "accounts") / name, "abc");
    const std::string before = read_file(list_path);
    const std::string reply = net.request(0, add_request(name));
    if (value(reply, "STATUS") == "done") {
      ++added;
      continue;
    }
    EXPECT_EQ(reply, "STATUS=refused&RE=refused&CP=error_list&");
    EXPECT_EQ(read_file(list_path), before);
    failed = name;
  }
  ASSERT_FALSE(failed.empty()) << "the disk never filled";
  EXPECT_GT(added, 0);
  expect_whole_lines(read_file(list_path));
  // Room again: the same registration goes through, glued to nothing.
  net.start(0, {"--capacity", "100000"});
  EXPECT_EQ(value(net.request(0, add_request(failed)), "STATUS"), "done");
  const std::string list = read_file(list_path);
  expect_whole_lines(list);
  EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), added + 1);
}

}  // namespace
}  // namespace morbs::e2e
