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

namespace morbs {
namespace {

// A piece with no good copy: the copy to make anew is the one known to be
// bad, and one whose node could not be read is said so, not given up.
TEST(AccountSurvey, APieceWhoseOtherCopyCouldNotBeReadIsNotCalledLost) {
  struct Case {
    CopyFault basic, second;
    Copy restored;
    const char* text;
  };
  const Case cases[] = {
      {CopyFault::unreadable, CopyFault::missing, Copy::second,
       "no good copy could be read: the other copy's node (node 1) could not be read (it could not be downloaded)"},
      {CopyFault::missing, CopyFault::node_silent, Copy::basic,
       "no good copy could be read: the other copy's node (node 2) could not be read (its node does not answer)"},
      {CopyFault::rotten, CopyFault::missing, Copy::basic, "no good copy left"},
  };
  for (const Case& c : cases) {
    Piece piece;
    piece.copies[0].copy = Copy::basic;
    piece.copies[0].node = 0;
    piece.copies[0].fault = c.basic;
    piece.copies[1].copy = Copy::second;
    piece.copies[1].node = 1;
    piece.copies[1].fault = c.second;
    const CopyOf& named = copy_to_restore(piece);
    EXPECT_EQ(named.copy, c.restored) << c.text;
    EXPECT_EQ(no_good_copy_text(piece, named), c.text);
  }
}

}  // namespace
}  // namespace morbs
