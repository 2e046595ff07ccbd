#include "core/wire/op_message.h"

#include <gtest/gtest.h>

#include <chrono>

#include "core/wire/scripted_node.h"
#include "platform/loopback_listener.h"

namespace morbs {
namespace {

using testing::ScriptedNode;

std::string echo(const std::string& request) { return "SN=3&GOT=" + request + "&"; }

TEST(OpMessage, ExchangesOneScrambledBlockEachWay) {
  RecordingReporter reporter;
  ScriptedNode node(echo);
  std::string message = "TEST=H00&";
  EXPECT_EQ(op_message("127.0.0.1", node.port(), message, &reporter), 0);
  EXPECT_EQ(message, "SN=3&GOT=TEST=H00&&");
  EXPECT_EQ(node.requests(), std::vector<std::string>{"TEST=H00&"});
}

TEST(OpMessage, APortNobodyListensOnFailsWithinTheWaitAndSilently) {
  RecordingReporter reporter;
  platform::LoopbackListener closed;
  ASSERT_TRUE(closed.listen());
  int port = closed.port();
  closed.close();
  std::string message = "TEST=H00&";
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(op_message("127.0.0.1", port, message, &reporter), -1);
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(reporter.said, "");
  EXPECT_LT(took, std::chrono::seconds(2));
  EXPECT_EQ(message, "TEST=H00&");
}

TEST(OpMessage, ALateAnswerIsAReadError) {
  RecordingReporter reporter;
  ScriptedNode node(echo, ScriptedNode::Behaviour::answer_late, 400);
  std::string message = "TEST=H00&";
  EXPECT_EQ(op_message("127.0.0.1", node.port(), message, &reporter), -1);
  EXPECT_EQ(reporter.said, "Error reading from socket[test_nodes]\n");
}

TEST(OpMessage, APeerThatClosesGivesAMeaninglessReply) {
  RecordingReporter reporter;
  ScriptedNode node(echo, ScriptedNode::Behaviour::close_silently);
  std::string message = "TEST=H00&";
  EXPECT_EQ(op_message("127.0.0.1", node.port(), message, &reporter), 0);
  std::string sn;
  EXPECT_EQ(select_value(message, "SN", sn), -1);
}

TEST(OpMessage, ARefusalLeavesNull) {
  RecordingReporter reporter;
  ScriptedNode node(echo, ScriptedNode::Behaviour::refuse);
  std::string message = "TEST=H00&";
  EXPECT_EQ(op_message("127.0.0.1", node.port(), message, &reporter), -1);
  EXPECT_EQ(message, "null");
}

TEST(OpMessage, NoAddressNoConnection) {
  for (const char* address : {"null", "", "10.0.0.4x"}) {
    std::string message = "TEST=H00&";
    RecordingReporter reporter;
    EXPECT_EQ(op_message(address, 9201, message, &reporter), -1) << address;
    EXPECT_EQ(reporter.said, "");
  }
}

}  // namespace
}  // namespace morbs
