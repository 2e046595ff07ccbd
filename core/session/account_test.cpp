#include "core/session/account.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace morbs {
namespace {

TEST(CheckPesel, IdsAndMessages) {
  struct Case {
    const char* id;
    int result;
    const char* message;
  };
  const Case cases[] = {
      {"12345678903", 1, ""},
      {"12345678904", 0, "\nIncoreect PESEL number\n"},
      {"00000000000", 1, ""},
      {"1234567890A", 1, ""},  // a non-digit skips the check
      {"1234567890", 0, "\nInput: id has incorrect lenght\n"},
      {"123456789030", 0, "\nInput: id has incorrect lenght\n"},
      {"1234567890\xC3", 1, ""},
  };
  for (const auto& c : cases) {
    const Status checked = check_PESEL(c.id);
    EXPECT_EQ(checked.ok(), c.result == 1) << c.id;
    EXPECT_EQ(checked.ok() ? "" : checked.why() + "\n", c.message) << c.id;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(check_PESEL(c.id, 1), c.result) << c.id;
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.message) << c.id;
    ::testing::internal::CaptureStdout();
    check_PESEL(c.id, 0);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << c.id;
  }
}

// Ids that would change a storage path or cut a request field: refused by
// the check (with the id message) and by the path builder.
TEST(CheckPesel, HostileIdsAreRefusedWherever) {
  const std::string hostile[] = {
      "........./p", "../../../..", "1234567890/", "1234567890\\", "12345.78903",
      "12345&78903", "12345=78903", "12345 78903", std::string("12345\0" "78903", 11),
      "1234567890\n", "1234567890\t", "\x1b[2J5678901", "1234567890\x7f",
  };
  for (const std::string& id : hostile) {
    SCOPED_TRACE(::testing::PrintToString(id));
    ASSERT_EQ(id.size(), 11u);
    EXPECT_FALSE(is_safe_account_id(id));
    EXPECT_EQ(check_PESEL(id).why(), "\nIncoreect PESEL number");
    std::string out = "untouched";
    EXPECT_EQ(make_path_pesel(id, "accounts", out), -1);
    EXPECT_EQ(out, "untouched");
  }
  // Letters, other punctuation and bytes above 127 still pass unchecked.
  for (const char* id : {"1234567890A", "abcdefghijk", "12345-78903", "1234567890\xC3"}) {
    EXPECT_TRUE(is_safe_account_id(id)) << id;
    EXPECT_EQ(check_PESEL(id, 0), 1) << id;
  }
}

TEST(MakePathPesel, AreaDirectoryAndSplitId) {
  std::string out = "untouched";
  EXPECT_EQ(make_path_pesel("12345678903", "accounts", out), 0);
  EXPECT_EQ(out, "ACCOUNTS/12/34/56/78/90/3/");
  EXPECT_EQ(make_path_pesel("12345678903", "accounts1", out), 0);
  EXPECT_EQ(out, "ACCOUNTS1/12/34/56/78/90/3/");
  EXPECT_EQ(make_path_pesel("12345678903", "ACCOUNTS", out), 0);
  EXPECT_EQ(out, "ACCOUNTS1/12/34/56/78/90/3/");
  out = "untouched";
  EXPECT_EQ(make_path_pesel("1234567890", "accounts", out), -1);
  EXPECT_EQ(out, "untouched");
}

TEST(ParserFileName, KeepsOnlySafeCharacters) {
  std::string name = "my file (1).txt";
  EXPECT_EQ(parser_file_name(name), 15u);
  EXPECT_EQ(name, "my_file__1_.txt");
  name = "report_2024.pdf";
  parser_file_name(name);
  EXPECT_EQ(name, "report_2024.pdf");
  name = "a/b\\c:d\xC4\x85\t";
  parser_file_name(name);
  EXPECT_EQ(name, "a_b_c_d___");
}

TEST(WriteToFile, AppendsLinesOrRefuses) {
  auto path = std::filesystem::temp_directory_path() /
              ("morbs_write_" + std::to_string(std::random_device{}()));
  EXPECT_EQ(write_to_file(path.string(), "first"), 0);
  EXPECT_EQ(write_to_file(path.string(), "second"), 0);
  std::ifstream in(path);
  std::string content((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(content, "first\nsecond\n");
  std::filesystem::remove(path);
  EXPECT_EQ(write_to_file("/nonexistent/dir/file", "x"), -1);
  EXPECT_FALSE(std::filesystem::exists("/nonexistent/dir/file"));
}

}  // namespace
}  // namespace morbs
