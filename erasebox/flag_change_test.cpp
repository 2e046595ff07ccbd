#include "erasebox/flag_change.h"

#include <gtest/gtest.h>

#include <chrono>

#include "core/wire/scripted_node.h"

namespace morbs::erasebox {
namespace {

using morbs::testing::ScriptedNode;

NodeTarget target(int port) {
  return NodeTarget{"127.0.0.1", port, "12345678903", "1514764800000000005:report.pdf",
                    "accounts", {0, 150000}};
}

std::string change(int port, std::string_view flag, int diagnostics, std::string* request = nullptr,
                   ScriptedNode* node = nullptr, int* result = nullptr) {
  RecordingReporter reporter(diagnostics == 1);
  platform::TcpSocket socket = open_socket(target(port), reporter);
  std::string buffer;
  int r = socket.is_open() ? (chg_flag_in_list_name(target(port), socket, buffer, flag, reporter) ? 0 : -1) : -2;
  if (result) *result = r;
  if (node && request && !node->requests().empty()) *request = node->requests().back();
  return reporter.said;
}

TEST(FlagChange, SendsTheListChangeRequest) {
  ScriptedNode node([](const std::string&) { return "STATUS=done&"; });
  std::string request;
  int result = 0;
  EXPECT_EQ(change(node.port(), "locked", 1, &request, &node, &result), "");
  EXPECT_EQ(result, 0);
  EXPECT_EQ(request,
            "OP=listfiles&SUB=chg&DISK=accounts&FN=1514764800000000005:report.pdf"
            "&ID=12345678903&CURRNEW=locked&");
}

struct RefusalCase {
  const char* reply;
  const char* flag;
  int diagnostics;
  int result;
  const char* output;
};

TEST(FlagChange, RefusalReasons) {
  const RefusalCase cases[] = {
      {"STATUS=refused&CP=error_rm_file&", "delete", 1, 0,
       "Error in node: error_rm_file\nThere is no file in the node\n"},
      {"STATUS=refused&CP=error_rm_file&", "delete", 0, -1, ""},
      {"STATUS=refused&CP=end_chg&", "delete", 1, 0,
       "Error in node: end_chg\nFile's flag is set deleted in the list\n"},
      {"STATUS=refused&CP=end_chg&", "locked", 1, -1,
       "Error in node: end_chg\nError: can't change flag because end_chg\n"},
      {"I love you.", "delete", 1, -1, "Error: can't change flag because NULL\n"},
      {"STATUS=whatever&", "delete", 1, 0, ""},
  };
  for (const auto& c : cases) {
    std::string reply = c.reply;
    ScriptedNode node([reply](const std::string&) { return reply; });
    int result = 0;
    EXPECT_EQ(change(node.port(), c.flag, c.diagnostics, nullptr, nullptr, &result), c.output)
        << c.reply;
    EXPECT_EQ(result, c.result) << c.reply << " " << c.diagnostics;
  }
}

TEST(FlagChange, ShortOrLateRepliesFailBoundedly) {
  ScriptedNode closes([](const std::string&) { return ""; }, ScriptedNode::Behaviour::close_silently);
  int result = 0;
  EXPECT_EQ(change(closes.port(), "delete", 1, nullptr, nullptr, &result),
            "Error read: chg flag in list_name\nError: can't change flag because NULL\n");
  EXPECT_EQ(result, -1);
}

TEST(FlagChange, ValidatesBeforeSending) {
  ScriptedNode node([](const std::string&) { return "STATUS=done&"; });
  int result = 0;
  EXPECT_EQ(change(node.port(), "gone", 1, nullptr, nullptr, &result),
            "Error chg_flag: incorrect flag\n");
  EXPECT_EQ(result, -1);
  EXPECT_TRUE(node.requests().empty());
}

}  // namespace
}  // namespace morbs::erasebox
