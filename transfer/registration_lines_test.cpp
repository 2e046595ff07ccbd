#include "transfer/registration_lines.h"

#include <gtest/gtest.h>

#include "transfer/curl_table.h"

namespace morbs {
namespace {

// The run's tables, shared by the cases of this file.
TransferTable curl_table;

TEST(RegistrationLines, FilesLineOfABasicCopy) {
  init_table(curl_table);
  EXPECT_EQ(do_list_files(curl_table, 0, "00010100008", "1514764800000000005:report.pdf", "user01", "basic",
                          9201, "accounts"), 0);
  EXPECT_EQ(curl_table.basic_list_lines[0],
            "OP=listfiles&SUB=add&FN=1514764800000000005:report.pdf&ID=00010100008&UID32=user01"
            "&ORG=0&PORT=9201&DISK=accounts&");
  EXPECT_EQ(curl_table.second_list_lines[0], "null");
}

TEST(RegistrationLines, ArchiveLineOfASecondCopy) {
  init_table(curl_table);
  EXPECT_EQ(do_list_archi(curl_table, 2, "00010100008", "1514764800000000005:report.pdf:2", "second", 9203,
                          "accounts1"), 0);
  EXPECT_EQ(curl_table.second_archive_lines[2],
            "OP=listARCHI&SUB=add&ID=00010100008&DISK=accounts1&FN=1514764800000000005:report.pdf:2"
            "&DIRF=auto&ORG=1&PORT=9203&");
}

TEST(RegistrationLines, OnlyLowerCaseBasicIsTheBasicCopy) {
  init_table(curl_table);
  do_list_files(curl_table, 1, "00010100008", "p:f", "u", "BASIC", 9202, "accounts");
  EXPECT_EQ(curl_table.basic_list_lines[1], "null");
  EXPECT_NE(curl_table.second_list_lines[1].find("&ORG=1&"), std::string::npos);
}

TEST(RegistrationLines, ALineOverItsSlotIsRefusedNotCut) {
  init_table(curl_table);
  curl_table.basic_list_lines[0] = "stale";
  std::string name(200, 'n');
  EXPECT_EQ(do_list_files(curl_table, 0, "00010100008", name, "user01", "basic", 9201, "accounts"), -1);
  EXPECT_EQ(curl_table.basic_list_lines[0], "null");
  // At exactly 255 characters the line is kept.
  std::string line_start = "OP=listfiles&SUB=add&FN=&ID=00010100008&UID32=u&ORG=0&PORT=9201&DISK=accounts&";
  std::string fits(255 - line_start.size(), 'n');
  EXPECT_EQ(do_list_files(curl_table, 0, "00010100008", fits, "u", "basic", 9201, "accounts"), 0);
  EXPECT_EQ(curl_table.basic_list_lines[0].size(), 255u);
  EXPECT_EQ(do_list_archi(curl_table, 4, "i", "n", "basic", 1, "accounts"), -1);
}

}  // namespace
}  // namespace morbs
