#include "lists/print_list.h"

#include <gtest/gtest.h>

#include "lists/format_flags.h"
#include "lists/formatting_date.h"
#include "lists/list_test_support.h"
#include "lists/prepare_list.h"
#include "lists/print_string.h"
#include "lists/work_files.h"

namespace morbs {
namespace {

using test::Entry;
using test::list_of;
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
      RecordingReporter reporter;
      Lines kept;
      const bool emitted = print_string(c.mode, "2018-03-15  14:05:09", "BC", flag, fn + ":2", reporter, &kept);
      bool takes = std::string(c.takes).find(flag) != std::string::npos;
      EXPECT_EQ(emitted, takes) << c.mode << " " << flag;
      bool saving = std::string(c.mode).ends_with("_save");
      std::string expected_print = " 2018-03-15  14:05:09  BC-" + flag + "  " + fn + "\n";
      EXPECT_EQ(reporter.said, takes && !saving ? expected_print : "") << c.mode << " " << flag;
      EXPECT_EQ(kept.size(), takes && saving ? 1u : 0u) << c.mode << " " << flag;
    }
  }
}

TEST(PrintString, KeptRecordsAndTheNameOfAPart) {
  RecordingReporter reporter;
  Lines kept;
  print_string("all_save", "D", "BC", "LOCK", fn + ":0", reporter, &kept);
  print_string("get_save", "D", "SC", "REPO", fn, reporter, &kept);
  print_string("get_save", "D", "SC", "REPO", fn + ":1:2", reporter, &kept);  // three colons: shown whole
  EXPECT_EQ(kept, (Lines{"DATE=D&FLAG=BC-LOCK&FN=" + fn + "&", "DATE=D&FN=" + fn + "&",
                         "DATE=D&FN=" + fn + ":1:2&"}));
  EXPECT_EQ(reporter.said, "");
}

// A name that would drive the terminal is shown with "?"; a kept record,
// which a program reads back, keeps its bytes.
TEST(PrintString, ControlCharactersAreShownAsQuestionMarks) {
  const std::string hostile = "1514764800000000005:a\x1b]0;owned\x07\rb\x7f.txt";
  RecordingReporter reporter;
  Lines kept;
  print_string("all_print", "2018-03-15  14:05:09", "BC", "REPO", hostile, reporter);
  EXPECT_EQ(reporter.said, " 2018-03-15  14:05:09  BC-REPO  1514764800000000005:a?]0;owned??b?.txt\n");
  print_string("get_save", "D", "BC", "REPO", hostile, reporter, &kept);
  EXPECT_EQ(kept, Lines{"DATE=D&FN=" + hostile + "&"});
}

struct ViewCase {
  const char* what;
  std::string type, copy, date, mode;
  std::string printed;
  Lines kept;
};

const Entry locked_part{fn + ":0", "0", "locked", "20180315 14:05:09"};
const std::string locked_shown = " 2018-03-15  14:05:09  BC-LOCK  " + fn + "\n";

TEST(ViewOf, ViewsOfOneLockedLine) {
  const Lines list = {locked_part.line()};
  ViewCase cases[] = {
      {"all_print", "ALL", "BOTH", "all", "all_print", locked_shown, {}},
      {"all_save", "ALL", "BOTH", "all", "all_save", "", {"DATE=2018-03-15  14:05:09&FLAG=BC-LOCK&FN=" + fn + "&"}},
      {"get_save", "ALL", "BOTH", "all", "get_save", "", {"DATE=2018-03-15  14:05:09&FN=" + fn + "&"}},
      {"unlocked_save keeps nothing", "ALL", "BOTH", "all", "unlocked_save", "", {}},
      {"a month selects", "ALL", "BOTH", "201803", "all_print", locked_shown, {}},
      {"a day selects", "LOCKED", "BASIC", "20180315", "all_print", locked_shown, {}},
      {"another year does not", "ALL", "BOTH", "2019", "all_print", "", {}},
      {"date 0 is every date", "ALL", "BOTH", "0", "all_print", locked_shown, {}},
      {"a date that is no number is every date", "ALL", "BOTH", "x2019", "all_print", locked_shown, {}},
      {"second copy only", "ALL", "SECOND", "all", "all_print", "", {}},
      {"another flag", "IN_REPO", "BOTH", "all", "all_print", "", {}},
      {"an unknown mode emits nothing", "ALL", "BOTH", "all", "list", "", {}},
  };
  for (const ViewCase& c : cases) {
    RecordingReporter reporter;
    Result<Lines> kept = view_of(list, "list.q", {c.type, c.copy, c.date}, c.mode, reporter);
    ASSERT_TRUE(kept.ok()) << c.what;
    EXPECT_EQ(reporter.said, c.printed) << c.what;
    EXPECT_EQ(*kept, c.kept) << c.what;
  }
}

TEST(PrintList, FlagAndCopySelection) {
  test::WorkDir dir;
  Entry repo{"1:a", "0", "ishere"}, arch{"2:b", "1", "archiv"}, del{"3:c", "0", "delete"},
      lock{"4:d", "1", "locked"};
  const std::string list = list_of({repo, arch, del, lock});
  write_file("list.q", list);
  auto shown = [](const Entry& e, const char* copy, const char* flag) {
    return " 2018-03-15  14:05:09  " + std::string(copy) + "-" + flag + "  " + e.fn + "\n";
  };
  struct Case {
    const char* type;
    const char* copy;
    std::string printed;
  } cases[] = {
      {"ALL", "BOTH", shown(repo, "BC", "REPO") + shown(arch, "SC", "ARCH") + shown(del, "BC", "DELT") +
                          shown(lock, "SC", "LOCK")},
      {"ALL", "BASIC", shown(repo, "BC", "REPO") + shown(del, "BC", "DELT")},
      {"ALL", "anything", shown(repo, "BC", "REPO") + shown(del, "BC", "DELT")},
      {"ALL", "SECOND", shown(arch, "SC", "ARCH") + shown(lock, "SC", "LOCK")},
      {"IN_REPO", "BOTH", shown(repo, "BC", "REPO")},
      {"IN_ARCHI", "BOTH", shown(arch, "SC", "ARCH")},
      {"DELETED", "BOTH", shown(del, "BC", "DELT")},
      {"LOCKED", "BASIC", ""},
  };
  for (const Case& c : cases) {
    RecordingReporter reporter;
    EXPECT_TRUE(print_list("list.q", {c.type, c.copy, "all"}, "all_print", reporter).ok());
    EXPECT_EQ(reporter.said, c.printed) << c.type << " " << c.copy;
  }
  EXPECT_EQ(read_file("list.q"), list);
}

TEST(PrintList, FailuresSayTheirMessages) {
  test::WorkDir dir;
  write_file("list.q", list_of({locked_part}));
  RecordingReporter reporter;
  EXPECT_FALSE(print_list("list.q", {"IN_repo"}, "all_print", reporter).ok());
  EXPECT_EQ(reporter.said, "Error: incorrect type file\nCorrect types: IN_REPO, IN_ARCHI, DELETED, LOCKED\n");
  RecordingReporter missing;
  EXPECT_EQ(print_list("none.q", {"ALL"}, "all_print", missing).why(), "Error: can't open list none.q");
  EXPECT_EQ(missing.said, "Error: can't open list none.q\n");
}

// A line that is no list line is skipped with a detail, never shown as a
// record; the other lines are shown as ever and the list keeps its bytes.
TEST(PrintList, MalformedLinesAreSkippedWithADetail) {
  test::WorkDir dir;
  Entry short_date{fn, "0", "ishere", "201803"}, odd_copy{fn, "2", "ishere"}, odd_flag{fn, "0", "gone"},
      no_prefix{"report.pdf", "0"}, bad_part{fn + ":x", "0"};
  const std::string list = list_of({short_date, odd_copy, locked_part, odd_flag, no_prefix, bad_part}) +
                           "FN=" + fn + "&ORG=0&CURR=ishere&\n" + "garbage\n";
  write_file("list.q", list);
  RecordingReporter shown(true), quiet(false);
  // A short or missing date is no fault: it is shown as far as it goes.
  const std::string short_shown = " 2018-03  BC-REPO  " + fn + "\n", no_date_shown = " NULL  BC-REPO  " + fn + "\n";
  EXPECT_TRUE(print_list("list.q", {"ALL"}, "all_print", shown).ok());
  EXPECT_EQ(shown.said,
            short_shown + "Error: line 2 of list.q skipped, ORG is neither 0 nor 1\n" + locked_shown +
                "Error: line 4 of list.q skipped, CURR is no flag\n"
                "Error: line 5 of list.q skipped, FN is no stored name\n"
                "Error: line 6 of list.q skipped, FN is no stored name\n" +
                no_date_shown + "Error: line 8 of list.q skipped, FN is no stored name\n");
  EXPECT_TRUE(print_list("list.q", {"ALL"}, "all_print", quiet).ok());
  EXPECT_EQ(quiet.said, short_shown + locked_shown + no_date_shown);
  EXPECT_EQ(read_file("list.q"), list);
}

TEST(PrintList, ASelectedLineLongerThanAListLineIsRefused) {
  test::WorkDir dir;
  Entry too_long{fn + ":0", "0", "locked"};
  too_long.disk = std::string(1100, 'x');
  Entry other_copy = too_long;
  other_copy.org = "1";
  write_file("list.q", list_of({too_long, locked_part, other_copy}));
  RecordingReporter reporter(false);
  EXPECT_TRUE(print_list("list.q", {"ALL", "BASIC"}, "all_print", reporter).ok());
  EXPECT_EQ(reporter.said, "Error: line 1 of list.q has " + std::to_string(too_long.line().size()) +
                               " characters (at most 1022), refused\n" + locked_shown);
}

TEST(PrepareList, SortThenWriteTheView) {
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
    PreparedView view;
    std::string written;
  } cases[] = {
      {"listing all", PreparedView::listing_all,
       d + "FLAG=BC-ARCH&FN=1514764800000000004:d&\n" + c + "FLAG=BC-DELT&FN=1514764800000000003:c&\n" +
           b + "FLAG=SC-LOCK&FN=1514764800000000002:b&\n" + a + "FLAG=BC-REPO&FN=1514764800000000001:a&\n"},
      {"read", PreparedView::read,
       d + "FN=1514764800000000004:d&\n" + b + "FN=1514764800000000002:b&\n" + a +
           "FN=1514764800000000001:a&\n"},
      {"lock", PreparedView::lock, a + "FN=1514764800000000001:a&\n"},
      {"unlock", PreparedView::unlock, b + "FN=1514764800000000002:b&\n"},
  };
  for (const Case& k : cases) {
    test::WorkDir dir;
    write_file("list.q", list);
    write_file(tmp_list, "DATE=stale&FN=1:old&\n");
    RecordingReporter reporter;
    EXPECT_TRUE(prepare_list("list.q", k.view, reporter).ok()) << k.what;
    EXPECT_EQ(read_file(tmp_list), k.written) << k.what;
    EXPECT_EQ(read_file("list.q"), list) << k.what;
    // The stages pass their lines in memory: no file but the view.
    EXPECT_EQ(test::files_here(), (std::vector<std::string>{"list.q", "tmp_list.q"})) << k.what;
  }
}

TEST(PrepareList, AnEmptyViewLeavesNoResultAndAMissingListFails) {
  test::WorkDir dir;
  write_file("list.q", list_of({{"1514764800000000001:a"}}));
  write_file(tmp_list, "DATE=stale&FN=1:old&\n");
  RecordingReporter reporter;
  EXPECT_TRUE(prepare_list("list.q", PreparedView::unlock, reporter).ok());
  EXPECT_FALSE(test::file_exists(tmp_list));
  EXPECT_FALSE(prepare_list("missing.q", PreparedView::read, reporter).ok());
  EXPECT_EQ(test::files_here(), std::vector<std::string>{"list.q"});
}

TEST(PrepareList, AViewThatCannotBeWrittenFailsAndLeavesNothingBeside) {
  test::WorkDir dir;
  write_file("list.q", list_of({{"1514764800000000001:a"}}));
  std::filesystem::create_directory(tmp_list);  // no file can take this name
  RecordingReporter reporter;
  EXPECT_EQ(prepare_list("list.q", PreparedView::read, reporter).why(), "Error: can't write tmp_list.q");
  EXPECT_EQ(test::files_here(), (std::vector<std::string>{"list.q", "tmp_list.q"}));
}

}  // namespace
}  // namespace morbs
