// deskbox, the real binary: the single instance, the session, the account
// and task questions, with promptwin answering from a script.
#include <chrono>
#include <thread>

#include "platform/instance_lock.h"
#include "tests/e2e/deskbox_fixture_test.h"

namespace morbs::e2e {
namespace {

const std::string good_id = "12345678903";

TEST_F(DeskboxRun, ASecondDeskboxEndsAtOnceWhileOneRuns) {
  // The first one holds its marker while gatekeep takes its time.
  shim("gatekeep", "sleep 4; exec '" + program("gatekeep") + "' \"$@\"");
  answers("account null\n");
  platform::BackgroundProcess first;
  auto argv = command((tools_ / "bin").string() + ":" + MORBS_BIN_DIR + ":/usr/bin:/bin");
  ASSERT_TRUE(first.start(argv, dir_.str(), (tools_ / "first.out").string()));
  for (int i = 0; i < 100 && children_named("gatekeep").empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_EQ(children_named("gatekeep").size(), 1u);

  auto start = std::chrono::steady_clock::now();
  Outcome second = run_deskbox();
  EXPECT_EQ(second.exit_code, 0);
  EXPECT_EQ(second.output, "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(children_named("gatekeep").size(), 1u);  // the second ran no gatekeep
  EXPECT_TRUE(calls().empty());                      // nor any dialog

  // The first goes on undisturbed, and once it ends the marker is free.
  for (int i = 0; i < 500 && first.running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(first.running());
  EXPECT_EQ(calls(), std::vector<std::string>{"--account"});
  answers("account null\n");
  std::filesystem::remove(tools_ / "answers.pos");
  EXPECT_EQ(run_deskbox().exit_code, 1);
  EXPECT_EQ(children_named("gatekeep").size(), 2u);
}

TEST_F(DeskboxRun, ALockOfAnotherTestDirectoryIsNoOtherDeskbox) {
  // Another run's marker (the machine-wide default) does not keep this one
  // out: the lock directory is the run's own.
  platform::InstanceLock other;
  ::setenv("MORBS_LOCK_DIR", dir_.str().c_str(), 1);
  ASSERT_TRUE(other.acquire("KORVEX"));
  ::unsetenv("MORBS_LOCK_DIR");
  answers("account null\n");
  EXPECT_EQ(run_deskbox().exit_code, 1);
  EXPECT_EQ(calls(), std::vector<std::string>{"--account"});
}

TEST_F(DeskboxRun, ARefusedSessionEndsWithItsInfoText) {
  struct Case {
    const char* what;
    std::string gatekeep;  // what the stand-in does instead of the real gatekeep
    std::string text;
  } cases[] = {
      {"no certificate", "exit 0", "serwer kontroli dostepu nie odpowiada"},
      {"a broken certificate", "head -c 4096 /dev/zero > crt.tmp", "serwer kontroli dostepu nie odpowiada"},
      {"a short certificate", "printf 'GTIME=1&' > crt.tmp", "serwer kontroli dostepu nie odpowiada"},
      {"local id null", "exec '" + program("gatekeep") + "' -local --local-id null --second-id host01",
       "negatywna weryfikacja lub brak karty"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(tools_ / "calls");
    dir_.write("list.q", "kept\n");
    shim("gatekeep", c.gatekeep);
    answers("account " + good_id + "\ntask\n");
    Outcome outcome = run_deskbox();
    EXPECT_EQ(outcome.exit_code, 0);
    EXPECT_EQ(calls(), std::vector<std::string>{info(c.text)});
    EXPECT_FALSE(exists("crt.tmp"));
    EXPECT_TRUE(exists("list.q"));  // no cycle was started
    EXPECT_TRUE(children_named("pushbox").empty());
  }
}

// Every way deskbox gives up ends with one line that says what failed, on
// standard error; the exit status stays as it was.
TEST_F(DeskboxRun, AFailureEndsWithALineSayingWhatFailed) {
  struct Case {
    const char* what;
    std::string gatekeep;
    std::string last_line;
  } cases[] = {
      {"no certificate", "exit 0", "deskbox: no session certificate from gatekeep: no created certificate"},
      {"a short certificate", "printf 'GTIME=1&' > crt.tmp",
       "deskbox: no session certificate from gatekeep: incorrect certificate format[1]"},
      {"local id null", "exec '" + program("gatekeep") + "' -local --local-id null --second-id host01",
       "deskbox: the access card was refused"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    shim("gatekeep", c.gatekeep);
    answers("account " + good_id + "\ntask\n");
    Outcome outcome = run_deskbox();
    EXPECT_EQ(outcome.exit_code, 0);
    const std::vector<std::string> lines = split_lines(outcome.output);
    EXPECT_EQ(lines.empty() ? "" : lines.back(), c.last_line) << outcome.output;
  }
}

TEST_F(DeskboxRun, WrongAccountIdsAreAskedAgainAndNullQuitsWithOne) {
  dir_.write("out.txt", "x");
  dir_.write("list.q", "x");
  dir_.write("other.txt", "x");
  answers("account 1234567890\n"     // 10 characters
          "account 123456789012\n"   // 12
          "account 12345678904\n"    // wrong check digit
          "account\n"                // nothing
          "account 12345678903 \n"   // a trailing blank makes 12
          "account null\n");
  Outcome outcome = run_deskbox();
  EXPECT_EQ(outcome.exit_code, 1);
  const std::string length = info("Nazwa konta musi miec 11 znakow!");
  EXPECT_EQ(calls(), (std::vector<std::string>{"--account", length, "--account", length, "--account",
                                               info("PESEL nie jest poprawny!"), "--account", length,
                                               "--account", length, "--account"}));
  EXPECT_FALSE(exists("out.txt"));
  EXPECT_FALSE(exists("list.q"));
  EXPECT_FALSE(exists("crt.tmp"));
  EXPECT_TRUE(exists("other.txt"));
  // One cycle: gatekeep once, the clean-up of interrupted uploads once.
  EXPECT_EQ(children_named("gatekeep"), std::vector<std::string>{"gatekeep\t-local"});
  EXPECT_EQ(children_named("pushbox"), std::vector<std::string>{"pushbox\t-clear_disaster"});
}

TEST_F(DeskboxRun, AnEmptyOrUnknownTaskEndsWithZero) {
  for (std::string task : {"task", "task help", "task WRITE", "task write now"}) {
    SCOPED_TRACE(task);
    std::filesystem::remove(tools_ / "calls");
    std::filesystem::remove(tools_ / "answers.pos");
    dir_.write("out.txt", "x");
    answers("account " + good_id + "\n" + task + "\n");
    Outcome outcome = run_deskbox();
    EXPECT_EQ(outcome.exit_code, 0);
    EXPECT_EQ(calls(), (std::vector<std::string>{"--account", "--task"}));
    EXPECT_FALSE(exists("list.q"));
    EXPECT_FALSE(exists("crt.tmp"));
    EXPECT_TRUE(exists("out.txt"));  // only a quit at the account question removes it
    EXPECT_TRUE(children_named("pullbox").empty());
  }
}

TEST_F(DeskboxRun, WithoutPromptwinItEndsWithOneAndLeavesTheFiles) {
  Outcome outcome = run_deskbox(false);
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_EQ(outcome.output, "deskbox: promptwin could not be started\n");
  EXPECT_TRUE(exists("crt.tmp"));  // written by gatekeep, left as it is
}

}  // namespace
}  // namespace morbs::e2e

namespace morbs::e2e {
namespace {

TEST_F(DeskboxRun, AnAnswerFileThatIsNoRegularFileIsNoAnswer) {
  // A dialog program that leaves a FIFO named "tmp" must not hold deskbox.
  const auto stand_in = tools_ / "bin" / "promptwin";
  write_file(stand_in,
             "#!/bin/sh\n"
             "case \"$1\" in\n"
             "  --account) echo 12345678903 ;;\n"
             "  --task) if [ -e task.done ]; then echo; else touch task.done; echo write; fi ;;\n"
             "  --open) mkfifo tmp ;;\n"
             "  --info) printf '%s\\n' \"$2\" >> infos ;;\n"
             "esac\n");
  std::filesystem::permissions(stand_in, std::filesystem::perms::owner_all);
  Outcome outcome = run_deskbox(false, 30000);
  EXPECT_EQ(outcome.exit_code, 0);
  EXPECT_EQ(dir_.read("infos"), "'Nie wybrano pliku do zapisu w ARCHI'\n");
  // The clean-ups of two cycles, no upload.
  EXPECT_EQ(children_named("pushbox"), (std::vector<std::string>(2, "pushbox\t-clear_disaster")));
}

}  // namespace
}  // namespace morbs::e2e
