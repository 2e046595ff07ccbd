#include "peers/promptwin/script.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace morbs::promptwin {
namespace {

namespace fs = std::filesystem;

class ScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("promptwin-script-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  void write(const std::string& name, const std::string& text) { std::ofstream(dir_ / name) << text; }
  std::string read(const std::string& name) {
    std::stringstream s;
    s << std::ifstream(dir_ / name).rdbuf();
    return s.str();
  }
  // Every call is a new Script, as every call is a new promptwin.
  Answer call(const std::vector<std::string>& args) {
    return Script((dir_ / "answers").string(), (dir_ / "calls").string()).answer(*parse_call(args), args);
  }

  fs::path dir_;
};

TEST_F(ScriptTest, AnswersInOrderAndRecordsEveryCall) {
  write("answers",
        "# a demo\n"
        "account 12345678903\n"
        "\n"
        "task write\n"
        "open /data/my file.txt\t/data/b&c.txt\n"
        "task read\n"
        "list 2\n"
        "account null\n");
  write("shown", "line one\nline two\n");
  const std::string shown = (dir_ / "shown").string();

  EXPECT_EQ(call({"--account"}).line, "12345678903");
  EXPECT_EQ(call({"--info", "'PESEL nie jest poprawny!'"}).line, "");  // takes no answer
  EXPECT_EQ(call({"--task"}).line, "write");
  Answer open = call({"--open"});
  ASSERT_TRUE(open.chosen);
  EXPECT_EQ(*open.chosen, (std::vector<std::string>{"/data/my file.txt", "/data/b&c.txt"}));
  EXPECT_EQ(call({"--task"}).line, "read");
  call({"--listing", "LIST", shown});
  Answer list = call({"--list", "READ", shown});
  ASSERT_TRUE(list.chosen);
  EXPECT_EQ(*list.chosen, std::vector<std::string>{"line two"});
  EXPECT_EQ(call({"--account"}).line, "null");

  EXPECT_EQ(read("calls"),
            "--account\n--info\t'PESEL nie jest poprawny!'\n--task\n--open\n--task\n"
            "--listing\tLIST\t" + shown + "\n  > line one\n  > line two\n"
            "--list\tREAD\t" + shown + "\n  > line one\n  > line two\n"
            "--account\n");
}

TEST_F(ScriptTest, AWordAloneAnswersWithNothing) {
  write("answers", "task\nopen\nlist\naccount\n");
  write("shown", "only\n");
  EXPECT_EQ(call({"--task"}).line, "");
  EXPECT_FALSE(call({"--open"}).chosen);
  EXPECT_FALSE(call({"--list", "DELETE", (dir_ / "shown").string()}).chosen);
  EXPECT_EQ(call({"--account"}).line, "");
}

TEST_F(ScriptTest, AnUnexpectedCallOrAnEmptyScriptCancelsAndKeepsThePlace) {
  write("answers", "task listing\nlist 5\n");
  write("shown", "only\n");
  EXPECT_EQ(call({"--account"}).line, "null");  // the script expects a task
  EXPECT_EQ(call({"--task"}).line, "listing");
  EXPECT_FALSE(call({"--list", "LOCK", (dir_ / "shown").string()}).chosen);  // no line 5
  EXPECT_EQ(call({"--account"}).line, "null");  // nothing left
  EXPECT_EQ(call({"--task"}).line, "");
  EXPECT_FALSE(fs::exists(dir_ / "tmp"));
}

}  // namespace
}  // namespace morbs::promptwin
