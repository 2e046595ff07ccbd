#include "lists/print_list.h"

#include <gtest/gtest.h>

#include "lists/format_flags.h"
#include "lists/formatting_date.h"
#include "lists/list_test_support.h"
#include "lists/prepare_list.h"
#include "lists/print_string.h"
#include "lists/scratch_files.h"

namespace morbs {
namespace {

using test::Entry;
using test::list_of;
using test::printed_by;
using test::read_file;
using test::write_file;

const std::string fn = "1514764800000000005:report.pdf";

TEST(FormattingDate, ShowsTheFixedPositionsAsFarAsTheDateGoes) {
  struct Case {
    const char* date;
    const char* shown;
  } cases[] = {
      {"20180315 14:05:09", "2018-03-15  14:05:09"},
      {"20180315-14:05:09.123456", "2018-03-15  14:05:09"},  // beyond 17 dropped
      {"20180315 14:05", "2018-03-15  14:05"},
      {"20180315 ", "2018-03-15"},
      {"20180315", "2018-03-15"},
      {"201803", "2018-03"},
      {"20180", "2018-0"},
      {"2018", "2018"},
      {"NULL", "NULL"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(formatting_date(c.date), c.shown) << c.date;
}

TEST(FormatFlags, StoredFlagsAndCopiesBecomeTheirShortForms) {
  struct Case {
    const char* flag;
    const char* copy;
    const char* shown_flag;
    const char* shown_copy;
  } cases[] = {
      {"ishere", "0", "REPO", "BC"}, {"archiv", "1", "ARCH", "SC"},
      {"delete", "0", "DELT", "BC"}, {"locked", "1", "LOCK", "SC"},
      {"LOCKED", "2", "LOCKED", "2"}, {"NULL", "NULL", "NULL", "NULL"},
  };
  for (const Case& c : cases) {
    std::string flag = c.flag, copy = c.copy;
    format_flags(flag, copy);
    EXPECT_EQ(flag, c.shown_flag);
    EXPECT_EQ(copy, c.shown_copy);
  }
}

TEST(PrintString, EachModeTakesItsFlags) {
  const std::string shown = " 2018-03-15  14:05:09  BC-%s  " + fn + "\n";
  struct Case {
    const char* mode;
    const char* takes;  // the flags, of REPO ARCH DELT LOCK, the mode emits
  } cases[] = {
      {"all_print", "REPO ARCH DELT LOCK"}, {"get_print", "REPO ARCH LOCK"},
      {"del_print", "DELT"}, {"loc_print", "LOCK"}, {"arc_print", "ARCH"},
      {"rep_print", "REPO"}, {"all_save", "REPO ARCH DELT LOCK"},
      {"get_save", "REPO ARCH LOCK"}, {"unlocked_save", "REPO"}, {"ALL_PRINT", ""},
  };
  for (const Case& c : cases) {
    for (std::string flag : {"REPO", "ARCH", "DELT", "LOCK"}) {
      test::WorkDir dir;
      int result = 0;
      std::string out = printed_by([&] {
        result = print_string(c.mode, "2018-03-15  14:05:09", "BC", flag, fn + ":2");
      });
      bool takes = std::string(c.takes).find(flag) != std::string::npos;
      EXPECT_EQ(result, takes ? 1 : 0) << c.mode << " " << flag;
      bool saving = std::string(c.mode).ends_with("_save");
      std::string expected_print = " 2018-03-15  14:05:09  BC-" + flag + "  " + fn + "\n";
      EXPECT_EQ(out, takes && !saving ? expected_print : "") << c.mode << " " << flag;
      EXPECT_EQ(test::file_exists(tmp_list_save), takes && saving) << c.mode << " " << flag;
    }
  }
}

TEST(PrintString, SavedRecordsAndTheNameOfAPart) {
  test::WorkDir dir;
  print_string("all_save", "D", "BC", "LOCK", fn + ":0");
  print_string("get_save", "D", "SC", "REPO", fn);
  print_string("get_save", "D", "SC", "REPO", fn + ":1:2");  // three colons: shown whole
  EXPECT_EQ(read_file(tmp_list_save), "DATE=D&FLAG=BC-LOCK&FN=" + fn + "&\n" +
                                          "DATE=D&FN=" + fn + "&\n" + "DATE=D&FN=" + fn +
                                          ":1:2&\n");
}

struct ViewCase {
  const char* what;
  std::string type, copy, date, mode;
  std::string printed;
  std::string saved;  // the list file afterwards ("-" when it is gone)
};

const Entry locked_part{fn + ":0", "0", "locked", "20180315 14:05:09"};
const std::string locked_shown = " 2018-03-15  14:05:09  BC-LOCK  " + fn + "\n";

TEST(PrintList, ViewsOfOneLockedLine) {
  const std::string list = list_of({locked_part});
  ViewCase cases[] = {
      {"all_print", "ALL", "BOTH", "all", "all_print", locked_shown, list},
      {"all_save", "ALL", "BOTH", "all", "all_save", "",
       "DATE=2018-03-15  14:05:09&FLAG=BC-LOCK&FN=" + fn + "&\n"},
      {"get_save", "ALL", "BOTH", "all", "get_save", "", "DATE=2018-03-15  14:05:09&FN=" + fn + "&\n"},
      {"unlocked_save saves nothing and the list goes", "ALL", "BOTH", "all", "unlocked_save", "", "-"},
      {"a month selects", "ALL", "BOTH", "201803", "all_print", locked_shown, list},
      {"a day selects", "LOCKED", "BASIC", "20180315", "all_print", locked_shown, list},
      {"another year does not", "ALL", "BOTH", "2019", "all_print", "", list},
      {"date 0 is every date", "ALL", "BOTH", "0", "all_print", locked_shown, list},
      {"a date that is no number is every date", "ALL", "BOTH", "x2019", "all_print", locked_shown, list},
      {"second copy only", "ALL", "SECOND", "all", "all_print", "", list},
      {"another flag", "IN_REPO", "BOTH", "all", "all_print", "", list},
      {"an unknown mode emits nothing", "ALL", "BOTH", "all", "list", "", list},
  };
  for (const ViewCase& c : cases) {
    test::WorkDir dir;
    write_file("list.q", list);
    int result = 0;
    std::string out = printed_by([&] { result = print_list("list.q", c.type, c.copy, c.date, c.mode); });
    EXPECT_EQ(result, 0) << c.what;
    EXPECT_EQ(out, c.printed) << c.what;
    EXPECT_EQ(test::file_exists("list.q") ? read_file("list.q") : "-", c.saved) << c.what;
    EXPECT_FALSE(test::file_exists(tmp_list_save)) << c.what;
  }
}

TEST(PrintList, FlagAndCopySelection) {
  test::WorkDir dir;
  Entry repo{"1:a", "0", "ishere"}, arch{"2:b", "1", "archiv"}, del{"3:c", "0", "delete"},
      lock{"4:d", "1", "locked"}, odd{"5:e", "2", "ishere"};
  write_file("list.q", list_of({repo, arch, del, lock, odd}));
  auto shown = [](const Entry& e, const char* copy, const char* flag) {
    return " 2018-03-15  14:05:09  " + std::string(copy) + "-" + flag + "  " + e.fn + "\n";
  };
  struct Case {
    const char* type;
    const char* copy;
    std::string printed;
  } cases[] = {
      {"ALL", "BOTH", shown(repo, "BC", "REPO") + shown(arch, "SC", "ARCH") + shown(del, "BC", "DELT") +
                          shown(lock, "SC", "LOCK") + shown(odd, "2", "REPO")},
      {"ALL", "BASIC", shown(repo, "BC", "REPO") + shown(del, "BC", "DELT")},
      {"ALL", "anything", shown(repo, "BC", "REPO") + shown(del, "BC", "DELT")},
      {"ALL", "SECOND", shown(arch, "SC", "ARCH") + shown(lock, "SC", "LOCK")},
      {"IN_REPO", "BOTH", shown(repo, "BC", "REPO") + shown(odd, "2", "REPO")},
      {"IN_ARCHI", "BOTH", shown(arch, "SC", "ARCH")},
      {"DELETED", "BOTH", shown(del, "BC", "DELT")},
      {"LOCKED", "BASIC", ""},
  };
  for (const Case& c : cases) {
    std::string out = printed_by([&] { EXPECT_EQ(print_list("list.q", c.type, c.copy, "all", "all_print"), 0); });
    EXPECT_EQ(out, c.printed) << c.type << " " << c.copy;
  }
}

TEST(PrintList, FailuresPrintTheirMessages) {
  test::WorkDir dir;
  write_file("list.q", list_of({locked_part}));
  int result = 0;
  std::string out = printed_by([&] { result = print_list("list.q", "IN_repo", "BOTH", "all", "all_print"); });
  EXPECT_EQ(result, -1);
  EXPECT_EQ(out, "Error: incorrect type file\nCorrect types: IN_REPO, IN_ARCHI, DELETED, LOCKED\n");
  out = printed_by([&] { result = print_list("none.q", "ALL", "BOTH", "all", "all_save"); });
  EXPECT_EQ(result, -1);
  EXPECT_EQ(out, "Error: can't open list none.q\n");
}

TEST(PrintList, ASavingViewStartsAFreshViewFile) {
  test::WorkDir dir;
  write_file("list.q", list_of({locked_part}));
  write_file(tmp_list_save, "DATE=stale&FN=1:old&\n");
  ASSERT_EQ(print_list("list.q", "ALL", "BOTH", "all", "get_save"), 0);
  EXPECT_EQ(read_file("list.q"), "DATE=2018-03-15  14:05:09&FN=" + fn + "&\n");
}

TEST(PrintList, AViewThatCannotBeSavedLeavesTheListAsItWas) {
  test::WorkDir dir;
  const std::string list = list_of({locked_part});
  write_file("list.q", list);
  std::filesystem::create_directory(tmp_list_save);  // no file can take this name
  int result = 0;
  std::string out = printed_by([&] { result = print_list("list.q", "ALL", "BOTH", "all", "all_save"); });
  EXPECT_EQ(result, -1);
  EXPECT_EQ(out, "Error: can't write tmp_list_save.q\n");
  EXPECT_EQ(read_file("list.q"), list);
}

TEST(PrintList, AShortDateIsShownAsFarAsItGoes) {
  test::WorkDir dir;
  Entry short_date{fn, "0", "ishere", "201803"}, no_date{fn, "1", "ishere", ""};
  write_file("list.q", list_of({short_date, no_date}) + "FN=" + fn + "&ORG=0&CURR=ishere&\n");
  std::string out = printed_by([] { print_list("list.q", "ALL", "BOTH", "all", "all_print"); });
  EXPECT_EQ(out, " 2018-03  BC-REPO  " + fn + "\n" + "   SC-REPO  " + fn + "\n" +
                     " NULL  BC-REPO  " + fn + "\n");
}

TEST(PrintList, ASelectedLineLongerThanAListLineIsRefused) {
  test::WorkDir dir;
  Entry too_long{fn + ":0", "0", "locked"};
  too_long.disk = std::string(1100, 'x');
  Entry other_copy = too_long;
  other_copy.org = "1";
  write_file("list.q", list_of({too_long, locked_part, other_copy}));
  std::string out = printed_by([] { print_list("list.q", "ALL", "BASIC", "all", "all_print"); });
  EXPECT_EQ(out, "Error: line 1 of list.q has " + std::to_string(too_long.line().size()) +
                     " characters (at most 1022), refused\n" + locked_shown);
}

TEST(PrepareList, SortThenSaveTheView) {
  Entry repo{"1514764800000000001:a", "0", "ishere", "20180101 01:00:00"},
      repo2{"1514764800000000001:a", "1", "ishere", "20180101 01:00:00"},
      lock{"1514764800000000002:b:0", "1", "locked", "20180202 02:00:00"},
      lock1{"1514764800000000002:b:1", "1", "locked", "20180202 02:00:00"},
      del{"1514764800000000003:c", "0", "delete", "20180303 03:00:00"},
      arch{"1514764800000000004:d", "0", "archiv", "20180404 04:00:00"};
  const std::string list = list_of({repo, repo2, lock, lock1, del, arch});
  const std::string d = "DATE=2018-04-04  04:00:00&", c = "DATE=2018-03-03  03:00:00&",
                    b = "DATE=2018-02-02  02:00:00&", a = "DATE=2018-01-01  01:00:00&";
  struct Case {
    const char* what;
    int (*prepare)(const std::string&);
    std::string view;  // "-": no tmp_list.q
  } cases[] = {
      {"listing all", prepare_list_for_listing_all,
       d + "FLAG=BC-ARCH&FN=1514764800000000004:d&\n" + c + "FLAG=BC-DELT&FN=1514764800000000003:c&\n" +
           b + "FLAG=SC-LOCK&FN=1514764800000000002:b&\n" + a + "FLAG=BC-REPO&FN=1514764800000000001:a&\n"},
      {"read", prepare_list_for_read,
       d + "FN=1514764800000000004:d&\n" + b + "FN=1514764800000000002:b&\n" + a +
           "FN=1514764800000000001:a&\n"},
      {"lock", prepare_list_for_lock, a + "FN=1514764800000000001:a&\n"},
      {"unlock", prepare_list_for_unlock, b + "FN=1514764800000000002:b&\n"},
  };
  for (const Case& k : cases) {
    test::WorkDir dir;
    write_file("list.q", list);
    EXPECT_EQ(k.prepare("list.q"), 1) << k.what;
    EXPECT_EQ(read_file(tmp_list), k.view) << k.what;
    EXPECT_EQ(read_file("list.q"), list) << k.what;
    EXPECT_EQ(test::files_here(), (std::vector<std::string>{"list.q", "tmp_list.q"})) << k.what;
  }
}

TEST(PrepareList, AnEmptyViewLeavesNoResultAndAMissingListFails) {
  test::WorkDir dir;
  write_file("list.q", list_of({{"1514764800000000001:a"}}));
  EXPECT_EQ(prepare_list_for_unlock("list.q"), 1);
  EXPECT_FALSE(test::file_exists(tmp_list));
  EXPECT_EQ(prepare_list_for_read("missing.q"), 0);
  EXPECT_EQ(test::files_here(), std::vector<std::string>{"list.q"});
}

}  // namespace
}  // namespace morbs
