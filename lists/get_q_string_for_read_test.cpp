#include "lists/get_q_string_for_read.h"

#include <gtest/gtest.h>

#include "lists/list_test_support.h"
#include "lists/work_files.h"

namespace morbs {
namespace {

using test::Entry;
using test::list_of;
using test::read_file;
using test::write_file;

const std::string fn = "1514764800000000005:report.pdf";

Entry piece(const std::string& name, const std::string& org, int port) {
  Entry e{name, org};
  e.port = port;
  return e;
}

struct ReadCase {
  const char* what;
  std::vector<Entry> list;
  std::string wanted;
  int result;
  std::vector<Entry> selected;  // empty: no tmp_list.q
};

TEST(GetQStringForRead, EachPieceFromItsBasicCopyElseItsSecond) {
  Entry b = piece(fn, "0", 9201), s = piece(fn, "1", 9202);
  Entry p0 = piece(fn + ":0", "0", 9201), p1 = piece(fn + ":1", "0", 9202),
        p2 = piece(fn + ":2", "0", 9203), q0 = piece(fn + ":0", "1", 9202),
        q1 = piece(fn + ":1", "1", 9203), q2 = piece(fn + ":2", "1", 9201);
  Entry other = piece("1514764800000000009:report.pdf", "0", 9204),
        other1 = piece("1514764800000000009:report.pdf", "1", 9201);
  ReadCase cases[] = {
      {"a whole file: its basic line", {s, b}, fn, 0, {b}},
      {"a whole file without its basic line", {s}, fn, 0, {s}},
      {"three parts in part order", {q2, p2, q1, p0, q0, p1}, fn, 0, {p0, p1, p2}},
      {"a missing basic part comes from its second copy", {p0, q0, q1, p2, q2}, fn, 0, {p0, q1, p2}},
      {"four parts, half from basic lines, half from second ones",
       {p1, piece(fn + ":3", "0", 9204), q0, q2}, fn, 0, {q0, p1, q2, piece(fn + ":3", "0", 9204)}},
      {"four parts of second copies only", {q0, q1, q2, piece(fn + ":3", "1", 9204)}, fn, 0,
       {q0, q1, q2, piece(fn + ":3", "1", 9204)}},
      {"a name without prefix: the first basic line in list order", {other1, s, other, b}, "report.pdf", 0,
       {other}},
      {"a full part name names no upload", {p0, p1, q1}, fn + ":1", -1, {}},
      {"a name found only outside FN", {piece("1514764800000000005:x.pdf", "0", 9201)}, "9201", -1, {}},
      {"a name that is only the end of another", {piece("1514764800000000005:myreport.pdf", "0", 9201)},
       "report.pdf", -1, {}},
      {"a name in no line", {b, s}, "1514764800000000005:other.pdf", -1, {}},
      {"a line without ORG is no candidate", {piece(fn, "2", 9201)}, fn, -1, {}},
      {"an FN without colon", {piece("1514764800000000005-report.pdf", "0", 9201)}, "report.pdf", -1, {}},
      {"an empty name names no file", {b, s}, "", -1, {}},
  };
  for (const ReadCase& c : cases) {
    test::WorkDir dir;
    write_file("list.q", list_of(c.list));
    EXPECT_EQ(get_q_string_for_read("list.q", c.wanted), c.result) << c.what;
    if (c.selected.empty())
      EXPECT_FALSE(test::file_exists(tmp_list)) << c.what;
    else
      EXPECT_EQ(read_file(tmp_list), list_of(c.selected)) << c.what;
    EXPECT_EQ(read_file("list.q"), list_of(c.list)) << c.what;
    // The candidates stay in memory: nothing but the list and the result.
    EXPECT_LE(test::files_here().size(), 2u) << c.what;
  }
}

TEST(GetQStringForRead, LeftoversNeverBecomeCandidatesOrResults) {
  test::WorkDir dir;
  Entry p0{fn + ":0", "0"}, p1{fn + ":1", "1"};
  write_file("list.q", list_of({p0, p1}));
  write_file("tmp_list_r.q", list_of({{fn + ":1", "0", "ishere", "x", 9999}}));
  write_file(tmp_list, list_of({{fn + ":7", "0"}}));
  ASSERT_EQ(get_q_string_for_read("list.q", fn), 0);
  EXPECT_EQ(read_file(tmp_list), list_of({p0, p1}));
}

// Each part comes from its own line: "name:13" is no line of part 1.
TEST(GetQStringForRead, EachPartFromItsOwnLine) {
  test::WorkDir dir;
  std::vector<Entry> parts;
  for (int i = 0; i < 14; ++i) parts.push_back({fn + ":" + std::to_string(i), "0"});
  write_file("list.q", list_of(std::vector<Entry>(parts.rbegin(), parts.rend())));
  ASSERT_EQ(get_q_string_for_read("list.q", fn), 0);
  EXPECT_EQ(read_file(tmp_list), list_of(parts));
}

TEST(GetQStringForRead, ACandidateLongerThanAListLineIsRefused) {
  test::WorkDir dir;
  Entry too_long{fn, "0"}, second{fn, "1"};
  too_long.disk = std::string(1100, 'x');
  write_file("list.q", list_of({too_long, second}));
  std::string out = test::printed_by([] { EXPECT_EQ(get_q_string_for_read("list.q", fn), 0); });
  EXPECT_EQ(out, "Error: line 1 of list.q has " + std::to_string(too_long.line().size()) +
                     " characters (at most 1022), refused\n");
  EXPECT_EQ(read_file(tmp_list), list_of({second}));
}

// A candidate that is no list line never becomes a piece: the next
// candidate takes its place, and the detail says why.
TEST(GetQStringForRead, AMalformedCandidateIsSkippedWithADetail) {
  Entry bad_part{fn + ":0x", "0"}, bad_flag{fn + ":1", "0"}, q0{fn + ":0", "1"}, q1{fn + ":1", "1"};
  bad_flag.curr = "gone";
  test::WorkDir dir;
  write_file("list.q", list_of({bad_part, bad_flag, q0, q1}));
  RecordingReporter reporter;
  Result<Lines> pieces = read_selection("list.q", fn, reporter);
  ASSERT_TRUE(pieces.ok()) << pieces.why();
  EXPECT_EQ(test::joined(*pieces), list_of({q0, q1}));
  EXPECT_EQ(reporter.said,
            "Error: line 1 of list.q skipped, FN is no stored name\n"
            "Error: line 2 of list.q skipped, CURR is no flag\n");
  EXPECT_EQ(test::files_here(), std::vector<std::string>{"list.q"});
}

TEST(GetQStringForRead, AListThatCannotBeReadFails) {
  test::WorkDir dir;
  EXPECT_EQ(get_q_string_for_read("list.q", fn), -1);
  EXPECT_TRUE(test::files_here().empty());
}

}  // namespace
}  // namespace morbs
