#include "lists/sorting_list.h"

#include <gtest/gtest.h>

#include "lists/cmp_long_numbers.h"
#include "lists/list_test_support.h"
#include "lists/work_files.h"
#include "lists/sort_list_in_stack_mode.h"
#include "lists/sort_select_org.h"

namespace morbs {
namespace {

using test::Entry;
using test::list_of;
using test::read_file;
using test::write_file;

// A 19-digit time prefix; larger n, newer file.
std::string pfx(int n) {
  std::string nano = std::to_string(n);
  return "1514764800" + std::string(9 - nano.size(), '0') + nano;
}

Entry whole(int n, const std::string& org = "0") { return {pfx(n) + ":f" + std::to_string(n), org}; }
Entry part(int n, int k, const std::string& org = "0") {
  return {pfx(n) + ":m" + std::to_string(n) + ":" + std::to_string(k), org};
}

TEST(CmpLongNumbers, ComparesEqualLengthDigitStrings) {
  struct Case {
    const char* a;
    const char* b;
    int expected;
  } cases[] = {
      {"1514764800000000005", "1514764800000000004", 1},
      {"1514764800000000004", "1514764800000000005", 2},
      {"1514764800000000005", "1514764800000000005", 0},
      {"1514764801000000000", "1514764800999999999", 1},  // the leading half decides
      {"1514764800999999999", "1514764801000000000", 2},
      {"9999999999999999999", "9999999999999999998", 1},  // beyond a 64-bit number whole
      {"05", "5", 2},                                     // equal value, other text
      {"12345678901234567890123456789012345678", "1", -1},
      {"1", "12345678901234567890123456789012345678", -1},
      {"1234567890123456789012345678901234567", "1234567890123456789012345678901234566", 1},
      {"", "", 0},
      {"7", "", 1},  // b shorter than the split: nothing is read past its end
  };
  for (const Case& c : cases)
    EXPECT_EQ(cmp_long_numbers(c.a, c.b), c.expected) << c.a << " vs " << c.b;
}

TEST(SortSelectOrg, KeepsOneLinePerFileOfTheWantedCopy) {
  test::WorkDir dir;
  struct Case {
    std::string line;
    bool basic, second;
  } cases[] = {
      {whole(1).line(), true, false},
      {whole(2, "1").line(), false, true},
      {part(3, 0).line(), true, false},
      {part(3, 1).line(), false, false},
      {part(3, 0, "1").line(), false, true},
      {Entry{pfx(4) + ":a:b:0"}.line(), false, false},  // three colons
      {Entry{pfx(5) + "-nocolon"}.line(), false, false},
      {Entry{pfx(6) + ":f", "2"}.line(), false, false},
      {"FN=" + pfx(7) + ":f&", false, false},  // no ORG
      {"", false, false},
  };
  Lines list, basic, second;
  for (const Case& c : cases) {
    list.push_back(c.line);
    if (c.basic) basic.push_back(c.line);
    if (c.second) second.push_back(c.line);
  }
  RecordingReporter reporter;
  EXPECT_EQ(sort_select_org(list, "list.q", Copy::basic, reporter), basic);
  EXPECT_EQ(sort_select_org(list, "list.q", Copy::second, reporter), second);
  // The lines the selection keeps are judged, the others not looked at.
  EXPECT_EQ(reporter.said, "");
  EXPECT_TRUE(test::files_here().empty());
}

TEST(SortListInStackMode, NewestFirstAndEqualPrefixesKeptInListOrder) {
  Entry a{pfx(5) + ":a"}, b{pfx(9) + ":b"}, c{pfx(5) + ":c"}, d{"notanumber:d"}, e{pfx(5) + ":e"},
      f{pfx(7) + ":f"}, g{":g"};
  const Lines list = {a.line(), b.line(), c.line(), d.line(), e.line(), f.line(), g.line()};
  RecordingReporter reporter;
  EXPECT_EQ(sort_list_in_stack_mode(list, "list.q", Copy::basic, reporter),
            (Lines{b.line(), f.line(), a.line(), c.line(), e.line()}));
  // A prefix that is no number makes no stored name: left out, and said so.
  EXPECT_EQ(reporter.said,
            "Error: line 4 of list.q skipped, FN is no stored name\n"
            "Error: line 7 of list.q skipped, FN is no stored name\n");
  EXPECT_TRUE(sort_list_in_stack_mode(list, "list.q", Copy::second, reporter).empty());
}

struct SortCase {
  const char* what;
  std::vector<Entry> list;
  std::vector<Entry> expected;
};

TEST(SortingList, OneLinePerFileNewestFirst) {
  Entry h1 = whole(50, "1");
  SortCase cases[] = {
      {"a whole file and a file in three parts",
       {whole(10), whole(10, "1"), part(20, 0), part(20, 1), part(20, 2), part(20, 0, "1"),
        part(20, 1, "1"), part(20, 2, "1")},
       {part(20, 0), whole(10)}},
      {"a file whose basic line is missing sits at its place",
       {whole(90), whole(10), h1, whole(90, "1"), whole(10, "1")},
       {whole(90), h1, whole(10)}},
      {"difference lines 9 and 8 before basic lines 7 and 1",
       {whole(7), whole(1), whole(9, "1"), whole(8, "1")},
       {whole(9, "1"), whole(8, "1"), whole(7), whole(1)}},
      {"a difference line with the prefix of a basic line comes after it",
       {{pfx(5) + ":x", "1"}, {pfx(5) + ":y", "0"}},
       {{pfx(5) + ":y", "0"}, {pfx(5) + ":x", "1"}}},
      {"without second lines the result is the sorted basic lines",
       {whole(1), whole(3), whole(2)},
       {whole(3), whole(2), whole(1)}},
      {"no usable line gives an empty result", {{pfx(1) + ":a:b:c"}, {pfx(2) + ":a:b:c", "1"}}, {}},
      {"equal prefixes are all kept, in list order",
       {{pfx(4) + ":a"}, {pfx(4) + ":b"}, {pfx(6) + ":c", "1"}, {pfx(4) + ":d", "1"}, {pfx(4) + ":e"}},
       {{pfx(6) + ":c", "1"}, {pfx(4) + ":a"}, {pfx(4) + ":b"}, {pfx(4) + ":e"}, {pfx(4) + ":d", "1"}}},
  };
  for (const SortCase& c : cases) {
    test::WorkDir dir;
    write_file("list.q", list_of(c.list));
    RecordingReporter reporter;
    Result<Lines> sorted = sorting_list(std::string("list.q"), reporter);
    ASSERT_TRUE(sorted.ok()) << c.what;
    EXPECT_EQ(test::joined(*sorted), list_of(c.expected)) << c.what;
    // The stages pass their lines in memory: only the list is there.
    EXPECT_EQ(test::files_here(), std::vector<std::string>{"list.q"}) << c.what;
  }
}

// Files an older run left never join the result: none is read.
TEST(SortingList, LeftoversOfAnInterruptedRunNeverJoinTheResult) {
  test::WorkDir dir;
  write_file("list.q", list_of({whole(3), whole(2, "1")}));
  for (const char* old : {"tmp_list_diff.q", "tmp_list_0.q", "tmp_list_1.q", "tmp0_list.q"})
    write_file(old, whole(99, "1").line() + "\n");
  RecordingReporter reporter;
  Result<Lines> sorted = sorting_list(std::string("list.q"), reporter);
  ASSERT_TRUE(sorted.ok());
  EXPECT_EQ(test::joined(*sorted), list_of({whole(3), whole(2, "1")}));
}

TEST(SortingList, ALineLongerThanAListLineIsRefusedWhole) {
  test::WorkDir dir;
  Entry fits = whole(1), too_long = whole(2), fits_exactly = whole(3);
  too_long.disk = std::string(1023 - too_long.line().size() + too_long.disk.size(), 'x');
  fits_exactly.disk = std::string(1022 - fits_exactly.line().size() + fits_exactly.disk.size(), 'y');
  ASSERT_EQ(too_long.line().size(), 1023u);
  ASSERT_EQ(fits_exactly.line().size(), 1022u);
  write_file("list.q", list_of({fits, too_long, fits_exactly}));
  RecordingReporter reporter(false);
  Result<Lines> sorted = sorting_list(std::string("list.q"), reporter);
  ASSERT_TRUE(sorted.ok());
  EXPECT_EQ(reporter.said, "Error: line 2 of list.q has 1023 characters (at most 1022), refused\n");
  EXPECT_EQ(test::joined(*sorted), list_of({fits_exactly, fits}));
}

TEST(SortingList, ALastLineWithoutLineEndStaysALine) {
  test::WorkDir dir;
  write_file("list.q", whole(2).line() + "\n" + whole(1).line() + "\n" + whole(3).line());
  RecordingReporter reporter;
  Result<Lines> sorted = sorting_list(std::string("list.q"), reporter);
  ASSERT_TRUE(sorted.ok());
  EXPECT_EQ(test::joined(*sorted), list_of({whole(3), whole(2), whole(1)}));
}

TEST(SortingList, AListThatCannotBeReadFails) {
  test::WorkDir dir;
  RecordingReporter reporter;
  EXPECT_EQ(sorting_list(std::string("list.q"), reporter).why(), "Error: can't open list list.q");
  std::filesystem::create_directory("list.q");
  EXPECT_FALSE(sorting_list(std::string("list.q"), reporter).ok());
  EXPECT_EQ(reporter.said, "");
}

// A malformed line of either copy never joins the sorted result.
TEST(SortingList, MalformedLinesNeverJoinTheResult) {
  Entry bad_flag = whole(5), bad_part{pfx(6) + ":m6:0x", "1"}, no_name{pfx(7) + ":", "0"};
  bad_flag.curr = "x";
  const Lines list = {whole(1).line(), bad_flag.line(), bad_part.line(), no_name.line(), whole(2, "1").line()};
  RecordingReporter reporter;
  EXPECT_EQ(sorting_list(list, "list.q", reporter), (Lines{whole(2, "1").line(), whole(1).line()}));
  EXPECT_EQ(reporter.said,
            "Error: line 2 of list.q skipped, CURR is no flag\n"
            "Error: line 4 of list.q skipped, FN is no stored name\n"
            "Error: line 3 of list.q skipped, FN is no stored name\n");
}

}  // namespace
}  // namespace morbs
