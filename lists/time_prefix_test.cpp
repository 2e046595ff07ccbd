#include "lists/time_prefix.h"

#include <gtest/gtest.h>

#include "core/wire/scripted_node.h"

namespace morbs {
namespace {

using testing::ScriptedNode;

int prefix_from(const std::string& reply, std::string& out) {
  ScriptedNode node([reply](const std::string& request) {
    return request == "OP=timeprec&" ? reply : std::string("I love you.");
  });
  RecordingReporter quiet(false);
  NetworkExchange exchange({0, 150000}, quiet);
  return get_prefix(exchange, "127.0.0.1", node.port(), out);
}

TEST(GetPrefix, AsksTheNodeForItsTime) {
  std::string out;
  EXPECT_EQ(prefix_from("TIME=1514764800&NANO=5&", out), 0);
  EXPECT_EQ(out, "1514764800000000005:");
  EXPECT_EQ(prefix_from("TIME=1514764800&NANO=123456789&", out), 0);
  EXPECT_EQ(out, "1514764800123456789:");
}

TEST(GetPrefix, AnIncompleteAnswerIsNull) {
  std::string out;
  for (const char* reply : {"TIME=1514764800&", "NANO=5&", "I love you.",
                            "TIME=1111111111111111111111111111111111&NANO=5&"}) {
    EXPECT_EQ(prefix_from(reply, out), -1) << reply;
    EXPECT_EQ(out, "null") << reply;
  }
}

}  // namespace
}  // namespace morbs
