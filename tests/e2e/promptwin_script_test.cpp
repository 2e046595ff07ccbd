// promptwin, the real binary: answers from a script, the file "tmp", and the
// cancelled dialog when there is neither a script nor a terminal.
#include <gtest/gtest.h>

#include "platform/process.h"
#include "tests/e2e/support/certificate_fixture.h"
#include "tests/e2e/support/temp_dir.h"

namespace morbs::e2e {
namespace {

class Promptwin : public ::testing::Test {
 protected:
  platform::RunResult run(std::vector<std::string> args, bool scripted = true) {
    // setsid: no controlling terminal, whoever runs the tests.
    std::vector<std::string> argv = {"setsid", "-w", "env"};
    if (scripted) argv.push_back("PROMPTWIN_SCRIPT=" + (dir_ / "answers").string());
    else argv.insert(argv.end(), {"-u", "PROMPTWIN_SCRIPT"});
    argv.push_back(program("promptwin"));
    argv.insert(argv.end(), args.begin(), args.end());
    platform::RunOptions options;
    options.working_directory = dir_.str();
    options.timeout_ms = 10000;
    auto r = platform::run_process(argv, options);
    EXPECT_TRUE(r && !r->timed_out);
    return r ? *r : platform::RunResult{};
  }
  bool has_tmp() const { return std::filesystem::exists(dir_ / "tmp"); }

  TempDir dir_{"promptwin"};
};

TEST_F(Promptwin, ScriptedAnswersAndSelections) {
  const std::string tricky = "/data/my file & \"q\" #|$`x`.txt";
  dir_.write("answers", "account 12345678903\ntask listing\nopen /a.txt\t" + tricky + "\nlist ~report 3\nopen\nlist\n");
  dir_.write("tmp_list.q", "2018-03-15  14:05:09  1514764800000000007:b.txt\n"
                           "2018-03-15  14:05:08  1514764800000000006:report.pdf\n"
                           "2018-03-15  14:05:07  1514764800000000005:a & b.txt\n");

  auto account = run({"--account"});
  EXPECT_EQ(account.output, "12345678903\n");
  EXPECT_EQ(account.exit_code, 0);
  EXPECT_EQ(run({"--task"}).output, "listing\n");
  EXPECT_EQ(run({"--info", "'Konto jest puste!'"}).output, "");
  EXPECT_FALSE(has_tmp());

  EXPECT_EQ(run({"--open"}).output, "");
  EXPECT_EQ(dir_.read("tmp"), "/a.txt\n" + tricky + "\n");
  std::filesystem::remove(dir_ / "tmp");

  run({"--list", "DELETE", "tmp_list.q"});
  EXPECT_EQ(dir_.read("tmp"), "2018-03-15  14:05:08  1514764800000000006:report.pdf\n"
                              "2018-03-15  14:05:07  1514764800000000005:a & b.txt\n");
  std::filesystem::remove(dir_ / "tmp");

  run({"--open"});
  EXPECT_FALSE(has_tmp());  // nothing chosen: no file
  run({"--list", "READ", "tmp_list.q"});
  EXPECT_FALSE(has_tmp());

  EXPECT_EQ(dir_.read("answers.calls"),
            "--account\n--task\n--info\t'Konto jest puste!'\n--open\n--list\tDELETE\ttmp_list.q\n"
            "  > 2018-03-15  14:05:09  1514764800000000007:b.txt\n"
            "  > 2018-03-15  14:05:08  1514764800000000006:report.pdf\n"
            "  > 2018-03-15  14:05:07  1514764800000000005:a & b.txt\n"
            "--open\n--list\tREAD\ttmp_list.q\n"
            "  > 2018-03-15  14:05:09  1514764800000000007:b.txt\n"
            "  > 2018-03-15  14:05:08  1514764800000000006:report.pdf\n"
            "  > 2018-03-15  14:05:07  1514764800000000005:a & b.txt\n");
}

TEST_F(Promptwin, WithoutTerminalOrScriptTheDialogIsCancelled) {
  dir_.write("tmp_list.q", "line\n");
  struct Case {
    std::vector<std::string> args;
    std::string output;
  } cases[] = {
      {{"--account"}, "null\n"},
      {{"--task"}, "\n"},
      {{"--open"}, ""},
      {{"--list", "READ", "tmp_list.q"}, ""},
      {{"--info", "'Nie wybrano pliku.'"}, ""},
      {{"--listing", "LIST", "tmp_list.q"}, ""},
  };
  for (const auto& c : cases) {
    auto r = run(c.args, false);
    EXPECT_EQ(r.output, c.output) << c.args[0];
    EXPECT_EQ(r.exit_code, 1) << c.args[0];
    EXPECT_FALSE(has_tmp());
  }
}

TEST_F(Promptwin, AWrongCommandLineGetsUsageAndNoAnswer) {
  for (std::vector<std::string> args : {std::vector<std::string>{}, {"--list", "WRITE", "x"}, {"--account", "x"}}) {
    auto r = run(args);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.output, "");
  }
}

}  // namespace
}  // namespace morbs::e2e
