#include "peers/promptwin/call.h"

#include <gtest/gtest.h>

namespace morbs::promptwin {
namespace {

TEST(ParseCall, TheCallsOfDeskbox) {
  struct Case {
    std::vector<std::string> args;
    Kind kind;
    std::string text, list_kind, file;
  } cases[] = {
      {{"--info", "'Konto jest puste!'"}, Kind::info, "'Konto jest puste!'", "", ""},
      {{"--account"}, Kind::account, "", "", ""},
      {{"--task"}, Kind::task, "", "", ""},
      {{"--open"}, Kind::open, "", "", ""},
      {{"--list", "READ", "tmp_list.q"}, Kind::list, "", "READ", "tmp_list.q"},
      {{"--list", "UNLOCK", "tmp_list.q"}, Kind::list, "", "UNLOCK", "tmp_list.q"},
      {{"--listing", "LIST", "tmp_list.q"}, Kind::listing, "", "LIST", "tmp_list.q"},
  };
  for (const auto& c : cases) {
    auto call = parse_call(c.args);
    ASSERT_TRUE(call) << record_line(c.args);
    EXPECT_EQ(call->kind, c.kind);
    EXPECT_EQ(call->text, c.text);
    EXPECT_EQ(call->list_kind, c.list_kind);
    EXPECT_EQ(call->file, c.file);
  }
}

TEST(ParseCall, RefusesWhatDeskboxNeverSends) {
  const std::vector<std::vector<std::string>> wrong = {
      {},
      {"--info"},
      {"--info", "a", "b"},
      {"--account", "x"},
      {"--list", "READ"},
      {"--list", "read", "tmp_list.q"},
      {"--list", "WRITE", "tmp_list.q"},
      {"--listing", "READ", "tmp_list.q"},
      {"--help", "x"},
      {"--task "},
  };
  for (const auto& args : wrong) EXPECT_FALSE(parse_call(args)) << record_line(args);
}

Call of(Kind kind) {
  Call call;
  call.kind = kind;
  return call;
}

TEST(Answers, CancelledAndShownTexts) {
  EXPECT_EQ(cancelled(of(Kind::account)).line, "null");
  for (Kind kind : {Kind::task, Kind::open, Kind::list, Kind::info}) {
    EXPECT_EQ(cancelled(of(kind)).line, "");
    EXPECT_FALSE(cancelled(of(kind)).chosen);
  }
  EXPECT_EQ(info_shown("'Nie wybrano pliku.'"), "Nie wybrano pliku.");
  EXPECT_EQ(info_shown("no quotes"), "no quotes");
  EXPECT_EQ(info_shown("'"), "'");
  EXPECT_EQ(record_line({"--info", "a b"}), "--info\ta b");
}

}  // namespace
}  // namespace morbs::promptwin
