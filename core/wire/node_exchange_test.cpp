#include "core/wire/node_exchange.h"

#include <gtest/gtest.h>

#include <chrono>

#include "core/wire/scripted_node.h"
#include "platform/loopback_listener.h"

namespace morbs {
namespace {

using testing::ScriptedNode;
using Behaviour = ScriptedNode::Behaviour;
using Clock = std::chrono::steady_clock;

std::string echo(const std::string& request) { return "SN=3&GOT=" + request + "&"; }

constexpr long budget_ms = 1500;
const ConnectionWait busy_wait{1, 0, 0, budget_ms};

long ms_since(Clock::time_point start) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

const std::string test = "TEST=H00&";
const std::string add = "OP=listfiles&SUB=add&FN=1:a&ID=12345678903&DISK=accounts&";

struct BusyCase {
  const char* name;
  std::string request;
  Behaviour behaviour;
  long delay_ms;
  int misbehaving;  // connections met so before it answers (-1: all)
  ConnectionWait wait;
  bool answered;
  size_t requests;  // the node saw (0: more than one)
  std::string said;  // the details told: the system's own texts only
  bool gives_up;     // a line on standard error says the exchange gave up
};

TEST(NetworkExchange, ABusyNodeIsTriedAgainWithinTheWait) {
  const std::string late = "Error reading from socket[test_nodes]\n";
  const BusyCase cases[] = {
      {"answers", test, Behaviour::answer, 0, -1, busy_wait, true, 1, "", false},
      {"closes twice", test, Behaviour::close_silently, 0, 2, busy_wait, true, 3, "", false},
      // The second attempt waits twice as long and takes the answer.
      {"late twice", test, Behaviour::answer_late, 400, 2, busy_wait, true, 2, "", false},
      {"refuses", test, Behaviour::refuse, 0, -1, busy_wait, false, 1, "", false},
      {"always late", test, Behaviour::answer_late, 1000, -1, busy_wait, false, 0, late, true},
      {"late, one attempt", test, Behaviour::answer_late, 400, -1, {1, 0, 0, 0}, false, 1, late, false},
      // A list change is never sent twice once it may have arrived: its
      // answer is awaited for the whole retry time instead.
      {"list change late", add, Behaviour::answer_late, 700, -1, busy_wait, true, 1, "", false},
      {"list change too late", add, Behaviour::answer_late, 2000, -1, busy_wait, false, 1, late, true},
      {"list change closed", add, Behaviour::close_silently, 0, -1, busy_wait, true, 1, "", true},
  };
  for (const auto& c : cases) {
    RecordingReporter reporter;
    ScriptedNode node(echo, c.behaviour, c.delay_ms, 0, c.misbehaving);
    NetworkExchange exchange(c.wait, reporter);
    std::string message = c.request;
    const auto start = Clock::now();
    EXPECT_EQ(exchange.ask("127.0.0.1", node.port(), message), c.answered) << c.name;
    EXPECT_LT(ms_since(start), budget_ms + 1000) << c.name;
    if (c.answered && c.behaviour != Behaviour::close_silently) {
      EXPECT_EQ(message, "SN=3&GOT=" + c.request + "&") << c.name;
    }
    if (c.requests) {
      EXPECT_EQ(node.requests().size(), c.requests) << c.name;
    } else {
      EXPECT_GT(node.requests().size(), 1u) << c.name;
    }
    EXPECT_EQ(reporter.said, c.said) << c.name;
    const bool gave_up = reporter.errors.find("busy or down: gave up after") != std::string::npos;
    EXPECT_EQ(gave_up, c.gives_up) << c.name << ": " << reporter.errors;
  }
}

TEST(NetworkExchange, ANodeGivenUpOnIsAskedOnceAfterwards) {
  platform::LoopbackListener closed;
  ASSERT_TRUE(closed.listen());
  const int port = closed.port();
  closed.close();
  RecordingReporter reporter;
  NetworkExchange exchange(busy_wait, reporter);
  std::string message = "TEST=H00&";
  auto start = Clock::now();
  EXPECT_FALSE(exchange.ask("127.0.0.1", port, message));
  // Nothing listening: tried again for a second at most.
  const long took = ms_since(start);
  EXPECT_GE(took, 300);
  EXPECT_LT(took, 1500);
  EXPECT_EQ(reporter.said, "");
  EXPECT_EQ(reporter.errors.find("node 127.0.0.1:" + std::to_string(port) + " busy or down: gave up after "), 0u)
      << reporter.errors;
  EXPECT_NE(reporter.errors.find("(connection refused)\n"), std::string::npos) << reporter.errors;

  reporter.errors.clear();
  start = Clock::now();
  EXPECT_FALSE(exchange.ask("127.0.0.1", port, message));
  EXPECT_LT(ms_since(start), 250);
  EXPECT_EQ(reporter.said + reporter.errors, "");
}

// It took the connection: busy, not down, so the next question is tried
// again as the first was.
TEST(NetworkExchange, ANodeThatAnswersLateKeepsItsRetries) {
  RecordingReporter reporter;
  ScriptedNode node(echo, Behaviour::answer_late, 1000);
  NetworkExchange exchange(busy_wait, reporter);
  for (int question = 0; question < 2; ++question) {
    std::string message = test;
    EXPECT_FALSE(exchange.ask("127.0.0.1", node.port(), message)) << question;
  }
  EXPECT_GE(node.requests().size(), 3u);
}

TEST(NetworkExchange, AnAddressThatCannotBeReachedIsNotTriedAgain) {
  for (const char* address : {"null", "", "10.0.0.4x"}) {
    RecordingReporter reporter;
    NetworkExchange exchange(busy_wait, reporter);
    std::string message = "TEST=H00&";
    const auto start = Clock::now();
    EXPECT_FALSE(exchange.ask(address, 9201, message)) << address;
    EXPECT_LT(ms_since(start), 250) << address;
    EXPECT_EQ(reporter.said + reporter.errors, "") << address;
  }
}

}  // namespace
}  // namespace morbs
