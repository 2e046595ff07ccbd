#include "core/wire/busy_retry.h"

#include <gtest/gtest.h>

#include "core/session/settings.h"

namespace morbs {
namespace {

TEST(BusyRetry, PausesGrowAreJitteredAndCapped) {
  struct Case {
    int attempt;
    double unit;
    int pause_ms;
  };
  const Case cases[] = {
      {1, 0.5, 0},    {2, 0.0, 50},   {2, 0.5, 100}, {2, 0.999, 149},
      {3, 0.5, 200},  {5, 0.5, 800},  {6, 0.5, 1600}, {40, 0.5, 1600},
      {6, 0.0, 800},  {6, 0.999, 2398},
  };
  for (const auto& c : cases) EXPECT_EQ(busy_pause_ms(c.attempt, c.unit), c.pause_ms) << c.attempt << " " << c.unit;
}

TEST(BusyRetry, OnlyWhatABusyNodeCausesIsTriedAgain) {
  struct Case {
    ExchangeFailure failure;
    bool retried, maybe_delivered, not_connected;
  };
  const Case cases[] = {
      {ExchangeFailure::none, false, false, false},
      {ExchangeFailure::local, false, false, false},
      {ExchangeFailure::unreachable, false, false, false},
      {ExchangeFailure::refusal, false, false, false},
      {ExchangeFailure::connection_refused, true, false, true},
      {ExchangeFailure::no_connection, true, false, true},
      {ExchangeFailure::not_sent, true, false, false},
      {ExchangeFailure::lost, true, true, false},
      {ExchangeFailure::no_answer, true, true, false},
      {ExchangeFailure::closed, true, true, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(worth_retrying(c.failure), c.retried) << failure_text(c.failure);
    EXPECT_EQ(maybe_delivered(c.failure), c.maybe_delivered) << failure_text(c.failure);
    EXPECT_EQ(not_connected(c.failure), c.not_connected) << failure_text(c.failure);
  }
}

TEST(BusyRetry, OnlyRequestsThatChangeAListAreNeverSentTwice) {
  struct Case {
    const char* request;
    bool changes;
  };
  const Case cases[] = {
      {"OP=listfiles&SUB=add&FN=1:a&", true}, {"OP=listfiles&SUB=chg&FN=1:a&CURRNEW=delete&", true},
      {"OP=listARCHI&SUB=add&ID=1&", true},   {"OP=resv&ID=1&DISK=accounts&FN=1:a&FSZ=1&", false},
      {"OP=chkfile&ID=1&", false},            {"TEST=H00&", false},
      {"OP=timeprec&", false},                {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(changes_a_list(c.request), c.changes) << c.request;
}

TEST(BusyRetry, TheRetryWaitFollowsTheAnswerWaitWithinTheStallLimit) {
  struct Case {
    int answer_wait_ms, stall_seconds;
    long retry_ms;
  };
  const Case cases[] = {
      {0, 30, 10000}, {300, 30, 10000}, {1500, 30, 15000}, {60000, 30, 30000}, {0, 1, 1000}, {0, 5, 5000},
  };
  for (const auto& c : cases) {
    Settings s;
    s.answer_wait_ms = c.answer_wait_ms;
    s.stall_seconds = c.stall_seconds;
    EXPECT_EQ(s.connection_wait().busy_retry_ms, c.retry_ms) << c.answer_wait_ms << " " << c.stall_seconds;
  }
}

}  // namespace
}  // namespace morbs
