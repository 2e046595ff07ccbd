// How list lines become files, pieces and copies, and what each file's
// verdict is from what the lines alone say.
#include "transfer/account_survey.h"

#include <gtest/gtest.h>

namespace morbs {
namespace {

const std::string fn = "1514764800000000005:a.bin";

std::string line(const std::string& name, int org, int node, const char* curr = "ishere") {
  return "FN=" + name + "&ID=12345678903&UID32=u&ORG=" + std::to_string(org) + "&PORT=" + std::to_string(9201 + node) +
         "&DISK=accounts&CURR=" + curr + "&DATE=20180101 00:00:00&";
}

TEST(AccountSurvey, ListLinesMakeFilesPiecesAndCopies) {
  Settings settings = Settings::defaults(Program::pullbox);
  settings.init_port = 9201;
  using V = StoredFile::Verdict;
  struct Case {
    const char* name;
    std::vector<std::string> lines;
    size_t files;
    size_t pieces;
    V verdict;
    std::string faults;  // per piece, basic then second: "-" good, "n" not listed, "d" record deleted
  } cases[] = {
      {"a whole file twice", {line(fn, 0, 0), line(fn, 1, 2)}, 1, 1, V::redundant, "--"},
      {"its second copy in no list", {line(fn, 0, 0)}, 1, 1, V::one_copy, "-n"},
      {"a part of a split file in no list", {line(fn + ":0", 0, 0), line(fn + ":0", 1, 1), line(fn + ":2", 0, 2),
                                             line(fn + ":2", 1, 3)},
       1, 3, V::lost, "--nn--"},
      {"every record deleted: no longer held", {line(fn, 0, 0, "delete"), line(fn, 1, 1, "archiv")}, 0, 0,
       V::redundant, ""},
      {"a held record wins over a deleted one", {line(fn, 0, 0, "delete"), line(fn, 0, 3), line(fn, 1, 1)}, 1, 1,
       V::redundant, "--"},
      {"only a deleted record of a copy", {line(fn, 0, 0, "delete"), line(fn, 1, 1)}, 1, 1, V::one_copy, "d-"},
      {"names that are no stored name", {line("noprefix", 0, 0), line(fn + ":x", 0, 0), "FN=" + fn + "&ORG=7&"}, 0,
       0, V::redundant, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<StoredFile> files = files_of(c.lines, settings);
    ASSERT_EQ(files.size(), c.files);
    if (files.empty()) continue;
    EXPECT_EQ(files[0].name, fn);
    ASSERT_EQ(files[0].pieces.size(), c.pieces);
    EXPECT_EQ(files[0].verdict() == c.verdict, true);
    std::string faults;
    for (const Piece& p : files[0].pieces)
      for (const CopyOf& copy : p.copies)
        faults += copy.fault == CopyFault::none ? '-' : copy.fault == CopyFault::not_listed ? 'n' : 'd';
    EXPECT_EQ(faults, c.faults);
  }
}

}  // namespace
}  // namespace morbs
