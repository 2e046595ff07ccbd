#include "transfer/registration_lines.h"

#include <gtest/gtest.h>

namespace morbs {
namespace {

TEST(RegistrationLines, FilesLineOfABasicCopy) {
  EXPECT_EQ(list_files_line("00010100008", "1514764800000000005:report.pdf", "user01", Copy::basic, 9201,
                            Area::accounts),
            "OP=listfiles&SUB=add&FN=1514764800000000005:report.pdf&ID=00010100008&UID32=user01"
            "&ORG=0&PORT=9201&DISK=accounts&");
}

TEST(RegistrationLines, ArchiveLineOfASecondCopy) {
  EXPECT_EQ(list_archive_line("00010100008", "1514764800000000005:report.pdf:2", Copy::second, 9203,
                              Area::accounts1),
            "OP=listARCHI&SUB=add&ID=00010100008&DISK=accounts1&FN=1514764800000000005:report.pdf:2"
            "&DIRF=auto&ORG=1&PORT=9203&");
}

TEST(RegistrationLines, ALineOverItsLimitIsRefusedNotCut) {
  EXPECT_FALSE(list_files_line("00010100008", std::string(200, 'n'), "user01", Copy::basic, 9201, Area::accounts));
  // At exactly 255 characters the line is kept.
  const std::string line_start = "OP=listfiles&SUB=add&FN=&ID=00010100008&UID32=u&ORG=0&PORT=9201&DISK=accounts&";
  const auto fits =
      list_files_line("00010100008", std::string(255 - line_start.size(), 'n'), "u", Copy::basic, 9201, Area::accounts);
  ASSERT_TRUE(fits);
  EXPECT_EQ(fits->size(), 255u);
}

}  // namespace
}  // namespace morbs

#include "core/wire/scripted_node.h"

namespace morbs {
namespace {

TEST(RegisterLine, TheNodesVerdict) {
  testing::ScriptedNode node([](const std::string& request) -> std::string {
    if (request.find("FN=ok") != std::string::npos) return "STATUS=done&RE=added&";
    return "STATUS=refused&RE=file_listed&CP=already there&";
  });
  ASSERT_TRUE(node.listening());
  const std::string port = std::to_string(node.port());
  struct Case {
    std::string line;
    bool ok;
    std::string why, printed;
  };
  const Case cases[] = {
      {"OP=listfiles&SUB=add&FN=ok&PORT=" + port + "&", true, "", ""},
      {"OP=listfiles&SUB=add&FN=no&PORT=" + port + "&", false, "the node refused the line: file_listed",
       "Error: file_listed:  already there\n"},
      {"OP=listfiles&SUB=add&FN=ok&", false, "abort by undefined port in list/archi strings", ""},
      {"OP=listfiles&SUB=add&FN=ok&PORT=1&", false, "abort connection for write list/archi strings", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    RecordingReporter reporter(true);
    NetworkExchange exchange({1, 0}, reporter);
    const Status status = register_line(exchange, "127.0.0.1", c.line, reporter);
    EXPECT_EQ(status.ok(), c.ok);
    EXPECT_EQ(status.why(), c.why);
    EXPECT_EQ(reporter.said, c.printed);
  }
  EXPECT_EQ(node.requests().front(), "OP=listfiles&SUB=add&FN=ok&PORT=" + port + "&");
}

}  // namespace
}  // namespace morbs
