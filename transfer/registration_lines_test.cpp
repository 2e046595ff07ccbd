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

namespace morbs {
namespace {

const std::string some_sha = "2cf24dba5fb0a30e26e83b2ac5b9e29e1b161e5c1fa7425e73043362938b9824";

TEST(ListedDigest, TheFieldGoesAtTheEndOnlyWhereItFits) {
  const std::string line = *list_files_line("00010100008", "1514764800000000005:report.pdf", "user01", Copy::basic,
                                            9201, Area::accounts);
  EXPECT_EQ(with_listed_digest(line, some_sha), line + "SHA=" + some_sha + "&");
  EXPECT_FALSE(with_listed_digest(line, ""));                       // nothing sent yet
  EXPECT_FALSE(with_listed_digest(line, some_sha.substr(1)));       // not a digest
  // The request block holds 255 characters: a line of 186 takes the 69
  // characters of the field, one of 187 does not.
  EXPECT_TRUE(with_listed_digest(std::string(186, 'x'), some_sha));
  EXPECT_FALSE(with_listed_digest(std::string(187, 'x'), some_sha));
}

// A node that knows no SHA field refuses the line with it: the line as
// written goes again, once, and the run says so once.
TEST(ListedDigest, ANodeThatRefusesTheFieldGetsTheWrittenLine) {
  testing::ScriptedNode node([](const std::string& request) -> std::string {
    // As a node that parses strictly: its refusal text, no reply block.
    if (request.find("&SHA=") != std::string::npos) return std::string(wire::refusal);
    if (request.find("FN=ok") != std::string::npos) return "STATUS=done&RE=added&";
    return "STATUS=refused&RE=file_listed&CP=already there&";
  });
  ASSERT_TRUE(node.listening());
  const std::string port = std::to_string(node.port());
  struct Case {
    std::string line, sha;
    bool ok;
    std::vector<std::string> sent;
    std::string printed;
  };
  const std::string ok_line = "OP=listfiles&SUB=add&FN=ok&PORT=" + port + "&";
  const std::string no_line = "OP=listfiles&SUB=add&FN=no&PORT=" + port + "&";
  const Case cases[] = {
      {ok_line, some_sha, true, {ok_line + "SHA=" + some_sha + "&", ok_line}, ""},
      // Refused for its own sake: told once, as the written line's refusal.
      {no_line, some_sha, false, {no_line + "SHA=" + some_sha + "&", no_line}, "Error: file_listed:  already there\n"},
      {ok_line, "", true, {ok_line}, ""},
  };
  size_t seen = 0;
  RecordingReporter reporter(true);
  ListedDigestNotice notice("pushbox");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line + c.sha);
    reporter.said.clear();
    NetworkExchange exchange({1, 0}, reporter);
    const Status status = register_line_with_digest(exchange, "127.0.0.1", c.line, c.sha, reporter, notice);
    EXPECT_EQ(status.ok(), c.ok) << status.why();
    EXPECT_EQ(reporter.said, c.printed);
    const std::vector<std::string> requests = node.requests();
    EXPECT_EQ(std::vector<std::string>(requests.begin() + static_cast<std::ptrdiff_t>(seen), requests.end()), c.sent);
    seen = requests.size();
  }
  EXPECT_EQ(reporter.errors, "pushbox: the node at port " + port +
                                 " refused a list line carrying its copy's digest: such lines are registered without it\n");
}

TEST(ListedDigest, ANodeThatTakesTheFieldIsAskedOnce) {
  testing::ScriptedNode node([](const std::string&) -> std::string { return "STATUS=done&RE=added&"; });
  ASSERT_TRUE(node.listening());
  const std::string line = "OP=listARCHI&SUB=add&FN=ok&PORT=" + std::to_string(node.port()) + "&";
  RecordingReporter reporter(true);
  ListedDigestNotice notice("pushbox");
  NetworkExchange exchange({1, 0}, reporter);
  ASSERT_TRUE(register_line_with_digest(exchange, "127.0.0.1", line, some_sha, reporter, notice).ok());
  EXPECT_EQ(node.requests(), std::vector<std::string>{line + "SHA=" + some_sha + "&"});
  EXPECT_EQ(reporter.errors, "");
}

}  // namespace
}  // namespace morbs
