#include <gtest/gtest.h>

#include "deskbox/children.h"
#include "deskbox/selection_line.h"
#include "deskbox/upload_name.h"

namespace morbs::deskbox {
namespace {

TEST(UploadName, BaseNameWithBlanksTurnedIntoUnderscores) {
  struct Case {
    std::string path, name;
    UploadRefusal refusal;
  } cases[] = {
      {"/home/ann/moj plik.txt", "moj_plik.txt", UploadRefusal::none},
      {"/d/a  b c", "a__b_c", UploadRefusal::none},
      {"relative.txt", "relative.txt", UploadRefusal::none},
      {"/d/it's & \"q\" #|$`x`", "it's_&_\"q\"_#|$`x`", UploadRefusal::none},  // pushbox cleans the rest
      {"C:\\dane\\x.txt", "C:\\dane\\x.txt", UploadRefusal::none},         // no separator here
      {"/d/" + std::string(119, 'n'), std::string(119, 'n'), UploadRefusal::none},
      {"/d/" + std::string(120, 'n'), std::string(120, 'n'), UploadRefusal::name_too_long},
      {"", "", UploadRefusal::empty_path},
      {"/d/dir/", "", UploadRefusal::no_name},
      {"/" + std::string(1022, 'p'), std::string(1022, 'p'), UploadRefusal::name_too_long},
      {"/" + std::string(1023, 'p'), "", UploadRefusal::path_too_long},
  };
  for (const auto& c : cases) {
    UploadName got = upload_name(c.path);
    EXPECT_EQ(got.refusal, c.refusal) << c.path;
    EXPECT_EQ(got.name, c.name) << c.path;
  }
}

TEST(SelectionLine, TheStoredNameEndsTheLine) {
  struct Case {
    std::string line, stored, user;
  } cases[] = {
      {"2018-03-15  14:05:09  1514764800000000005:report.pdf", "1514764800000000005:report.pdf", "report.pdf"},
      {"2018-03-15  14:05:09  1514764800000000005:report.pdf\n", "1514764800000000005:report.pdf", "report.pdf"},
      {"1514764800000000005:a", "1514764800000000005:a", "a"},
      {"x 991514764800000000005:b.txt", "1514764800000000005:b.txt", "b.txt"},
      {"NULL  1514764800000000005:it's \"q\" & #|$`x`", "1514764800000000005:it's \"q\" & #|$`x`",
       "it's \"q\" & #|$`x`"},
      {"d  1514764800000000005:" + std::string(235, 'n'), "1514764800000000005:" + std::string(235, 'n'),
       std::string(235, 'n')},
  };
  for (const auto& c : cases) {
    auto got = parse_selection_line(c.line);
    ASSERT_TRUE(got) << c.line;
    EXPECT_EQ(got->stored_name, c.stored);
    EXPECT_EQ(got->user_name, c.user);
  }
}

TEST(SelectionLine, LinesWithoutAStoredNameAreRefused) {
  const std::string cases[] = {
      "",
      "no colon at all",
      "2018-03-15  14:05:09  report.pdf",       // the last colon is the time's
      "151476480000000005:short.pdf",           // 18 characters before the colon
      "2018-03-15  14:05:09  15147648000x0000005:r.pdf",
      "2018-03-15  14:05:09  1514764800000000005:",
      "2018-03-15  14:05:09  1514764800000000005:../../etc",
      "2018-03-15  14:05:09  1514764800000000005:..",
      "2018-03-15  14:05:09  1514764800000000005:.",
      "d  1514764800000000005:" + std::string(236, 'n'),  // 256 characters
  };
  for (const auto& line : cases) EXPECT_FALSE(parse_selection_line(line)) << line;
}

TEST(LastLine, TheAnswerIsTheLastLinePrinted) {
  struct Case {
    std::string output, line;
  } cases[] = {
      {"", ""},        {"\n", ""},          {"12345678903\n", "12345678903"}, {"noise\nwrite\n", "write"},
      {"a\nb", "b"},   {"write\n\n", ""},   {"null", "null"},
  };
  for (const auto& c : cases) EXPECT_EQ(last_line(c.output), c.line) << c.output;
}

}  // namespace
}  // namespace morbs::deskbox
