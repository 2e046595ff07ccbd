// pullbox -ls in both forms, -h, the usage line and the session check.
#include "tests/e2e/pullbox_fixture.h"

namespace morbs::e2e {
namespace {

const std::string report0 = "FN=1514764800000000005:report.pdf&ID=12345678903&UID32=user01&ORG=0&PORT=9201&"
                            "DISK=accounts&CURR=ishere&DATE=20180315 14:05:09&";
const std::string report1 = "FN=1514764800000000005:report.pdf&ID=12345678903&UID32=user01&ORG=1&PORT=9202&"
                            "DISK=accounts1&CURR=ishere&DATE=20180315 14:05:10&";
const std::string notes0 = "FN=1520000000000000001:notes.txt:0&ID=12345678903&UID32=user01&ORG=0&PORT=9201&"
                           "DISK=accounts&CURR=locked&DATE=20180401 09:00:00&";
const std::string notes1 = "FN=1520000000000000001:notes.txt:1&ID=12345678903&UID32=user01&ORG=0&PORT=9202&"
                           "DISK=accounts&CURR=locked&DATE=20180401 09:00:01&";
const std::string old0 = "FN=1530000000000000002:old.txt&ID=12345678903&UID32=user01&ORG=0&PORT=9203&"
                         "DISK=accounts&CURR=archiv&DATE=20180630 23:59:59&";
const std::string gone1 = "FN=1540000000000000003:gone.txt&ID=12345678903&UID32=user01&ORG=1&PORT=9204&"
                          "DISK=accounts1&CURR=delete&DATE=20181010 10:10:10&";

const std::string list = report0 + "\n" + notes0 + "\n" + report1 + "\n" + old0 + "\n" + notes1 + "\n" + gone1 + "\n";

const std::string shown_report0 = " 2018-03-15  14:05:09  BC-REPO  1514764800000000005:report.pdf\n";
const std::string shown_report1 = " 2018-03-15  14:05:10  SC-REPO  1514764800000000005:report.pdf\n";
const std::string shown_notes0 = " 2018-04-01  09:00:00  BC-LOCK  1520000000000000001:notes.txt\n";
const std::string shown_notes1 = " 2018-04-01  09:00:01  BC-LOCK  1520000000000000001:notes.txt\n";
const std::string shown_old0 = " 2018-06-30  23:59:59  BC-ARCH  1530000000000000002:old.txt\n";
const std::string shown_gone1 = " 2018-10-10  10:10:10  SC-DELT  1540000000000000003:gone.txt\n";

class PullboxLs : public PullboxTest {
 protected:
  void SetUp() override {
    PullboxTest::SetUp();
    // No node is needed; loopback all the same.
    dir_.write("client.config", "IP_ADDR=127.0.0.1&\nINIT_PORT_Q=1&\nTEST=1&\n");
    dir_.write("list.q", list);
  }
};

TEST_F(PullboxLs, SortedNewestFirstOneLinePerFile) {
  EXPECT_EQ(pull({"-ls"}), shown_gone1 + shown_old0 + shown_notes0 + shown_report0);
  EXPECT_EQ(dir_.read("list.q"), list);
  EXPECT_EQ(leftovers(), std::vector<std::string>{"list.q"});
  std::filesystem::remove(dir_ / "list.q");
  EXPECT_EQ(pull({"-ls"}), "");  // nothing to sort: silent
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(PullboxLs, FilteredInFileOrder) {
  struct Case {
    std::vector<std::string> args;
    std::string printed;
  } cases[] = {
      // ALL is no type of the command line: it reads as IN_REPO, as any unknown text.
      {{"list.q", "ALL", "BOTH", "all"}, shown_report0 + shown_report1},
      {{"list.q", "in_repo", "BOTH", "all"}, shown_report0 + shown_report1},
      {{"list.q", "IN_REPO", "BASIC", "2018"}, shown_report0},
      {{"list.q", "IN_REPO", "SECOND", "all"}, shown_report1},
      {{"list.q", "LOCKED", "BOTH", "201804"}, shown_notes0 + shown_notes1},
      {{"list.q", "LOCKED", "BASIC", "20180401"}, shown_notes0 + shown_notes1},
      {{"list.q", "IN_ARCHI", "BOTH", "20180630"}, shown_old0},
      {{"list.q", "DELETED", "BOTH", "2019"}, ""},
      // Dates of 3 or 9 characters show every date.
      {{"list.q", "DELETED", "BOTH", "201"}, shown_gone1},
      {{"list.q", "DELETED", "BOTH", "201910101"}, shown_gone1},
      {{"list.q", "DELETED", "SECOND", "20181010"}, shown_gone1},
      // The help's own example: "1" is no copy.
      {{"list.q", "LOCKED", "1", "200705"}, "Incorrect type of copy [BASIC/SECOND/BOTH]\n"},
      {{"list.q", "LOCKED", "basic", "all"}, "Incorrect type of copy [BASIC/SECOND/BOTH]\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"-ls"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    EXPECT_EQ(pull(args), c.printed) << c.args[1] << " " << c.args[2] << " " << c.args[3];
  }
  EXPECT_EQ(dir_.read("list.q"), list);
  EXPECT_EQ(leftovers(), std::vector<std::string>{"list.q"});
}

TEST_F(PullboxLs, ListNames) {
  dir_.write("other.q", gone1 + "\n");
  EXPECT_EQ(pull({"-ls", "other.q", "DELETED", "BOTH", "all"}), shown_gone1);
  // Over 79 characters the name reads as list.q; a failure names the argument.
  const std::string long_name(80, 'n');
  EXPECT_EQ(pull({"-ls", long_name, "IN_REPO", "BASIC", "all"}), shown_report0);
  std::filesystem::remove(dir_ / "list.q");
  EXPECT_EQ(pull({"-ls", long_name, "IN_REPO", "BASIC", "all"}),
            "Error: can't open list list.q\n\nError: can't open " + long_name + "\n");
  EXPECT_EQ(pull({"-ls", "missing.q", "IN_REPO", "BASIC", "all"}),
            "Error: can't open list missing.q\n\nError: can't open missing.q\n");
}

// A stored name comes from a node: one that holds escape sequences or other
// control characters is shown with "?" in their place, so it cannot drive the
// terminal; list.q keeps its bytes.
TEST_F(PullboxLs, ControlCharactersOfNamesAreShownAsQuestionMarks) {
  const std::string hostile_fn = "1560000000000000004:\x1b]0;owned\x07\x1b[2Jx\r\ty\x7f.txt";
  const std::string hostile = "FN=" + hostile_fn + "&ID=12345678903&UID32=user01&ORG=0&PORT=9201&"
                              "DISK=accounts&CURR=ishere&DATE=20190101 01:02:03&";
  const std::string with_hostile = list + hostile + "\n";
  dir_.write("list.q", with_hostile);
  const std::string shown_hostile = " 2019-01-01  01:02:03  BC-REPO  1560000000000000004:?]0;owned??[2Jx??y?.txt\n";
  EXPECT_EQ(pull({"-ls"}), shown_hostile + shown_gone1 + shown_old0 + shown_notes0 + shown_report0);
  EXPECT_EQ(pull({"-ls", "list.q", "IN_REPO", "BASIC", "2019"}), shown_hostile);
  EXPECT_EQ(dir_.read("list.q"), with_hostile);
}

// A line that is no list line is never shown as a file: it is left out, and
// with TEST=1 a line says which and why. list.q keeps its bytes.
TEST_F(PullboxLs, MalformedLinesAreLeftOut) {
  const std::string bad_flag = "FN=1570000000000000001:flag.txt&ID=12345678903&UID32=user01&ORG=0&PORT=9201&"
                               "DISK=accounts&CURR=bogus&DATE=20190101 01:02:03&";
  const std::string no_prefix = "FN=:noprefix.txt&ID=12345678903&UID32=user01&ORG=0&PORT=9201&"
                                "DISK=accounts&CURR=ishere&DATE=20190101 01:02:03&";
  const std::string bad_part = "FN=1570000000000000002:part.txt:0x&ID=12345678903&UID32=user01&ORG=0&PORT=9201&"
                               "DISK=accounts&CURR=ishere&DATE=20190101 01:02:03&";
  const std::string with_bad = bad_flag + "\n" + list + no_prefix + "\n" + bad_part + "\n";
  dir_.write("list.q", with_bad);
  EXPECT_EQ(pull({"-ls", "list.q", "IN_REPO", "BASIC", "all"}),
            shown_report0 + "Error: line 8 of list.q skipped, FN is no stored name\n"
                            "Error: line 9 of list.q skipped, FN is no stored name\n");
  dir_.write("client.config", "IP_ADDR=127.0.0.1&\nINIT_PORT_Q=1&\nTEST=0&\n");
  EXPECT_EQ(pull({"-ls"}), shown_gone1 + shown_old0 + shown_notes0 + shown_report0);
  EXPECT_EQ(pull({"-ls", "list.q", "IN_REPO", "BASIC", "all"}), shown_report0);
  EXPECT_EQ(dir_.read("list.q"), with_bad);
}

const std::string help_text =
    "                          --- HELP ---\n\n"
    "                          --- LIST ---\n\n"
    " (1)  Get all files_list from nodes & show the list\n"
    "      pullbox [-list] [id]\n"
    "        id - account id (11 chars)\n\n"
    " (2)  List files on the list\n"
    "      pullbox [-ls] [list name] [type] [copy] [date]\n"
    "        list name - list of file with uploaded list\n"
    "        type:\n"
    "           IN_REPO \t- files stored in REPO\n"
    "           IN_ARCHI\t- files stored in ARCHI\n"
    "           DELETED\t- all deleted files in REPO\n"
    "           LOCKED\t\t- files blocked in REPO\n"
    "        copy:\n"
    "           BASIC - basic copy\n"
    "           SECOND - second copy\n"
    "        date format:\n"
    "           numerical year, year+month, year*month+day\n"
    "           all - list all date\n"
    "      examples:\n\n"
    "        pullbox -ls \n"
    "           use for default parameters:\n"
    "              list name: list.q (default name of list)\n"
    "              type:      IN_REPO (default)\n"
    "              copy:      BASIC (basic is default)\n"
    "              date:      all (default)\n\n"
    "        pullbox -ls list.q LOCKED 1 200705\n"
    "            (user parameters)n\n"
    "                        --- READ FILE --- \n\n"
    " (3) Read file from nodes (singular /matrix-mode)\n"
    "     pullbox [-rd] [id] [fn_read] [fn_out]\n"
    "        id \t- account id (11 chars)\n"
    "        fn_read \t- use form - prefix:fname\n"
    "        fn_out    - name of file on client's disk\n\n"
    "                         --- END ---\n\n";

TEST_F(PullboxLs, HelpAndUsageFollowTheVerboseSetting) {
  // The written text as it stands, and the one line added after it.
  EXPECT_EQ(pull({"-h"}), help_text + "Every form of this version: pullbox --help\n");
  const std::vector<std::vector<std::string>> wrong = {
      {}, {"-x"}, {"-list"}, {"-h", "more"}, {"-ls", "a", "b"}, {"-rd", id, "name"}, {"-list", id, "x", "y"},
      {"-LS"},
  };
  for (const auto& args : wrong) EXPECT_EQ(pull(args), "USE: pullbox -h \n") << args.size();
  dir_.write("client.config", "IP_ADDR=127.0.0.1&\nINIT_PORT_Q=1&\nTEST=0&\n");
  EXPECT_EQ(pull({"-h"}), "");
  for (const auto& args : wrong) EXPECT_EQ(pull(args), "") << args.size();
  EXPECT_EQ(pull({"-ls", "list.q", "LOCKED", "1", "all"}), "");
}

TEST_F(PullboxLs, NothingWithoutASessionCertificate) {
  std::filesystem::remove(dir_ / "crt.tmp");
  for (const std::vector<std::string>& args : {std::vector<std::string>{"-h"}, {"-ls"}, {"-list", id}}) {
    const std::string out = pull(args);
    EXPECT_EQ(out.substr(out.size() - std::string("\n Incorrect access card\n").size()),
              "\n Incorrect access card\n");
  }
  EXPECT_EQ(dir_.read("list.q"), list);  // -list did not get as far as removing it
}

}  // namespace
}  // namespace morbs::e2e
