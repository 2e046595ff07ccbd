// deskbox, the real binary, doing its tasks against running nodes: the
// listing, the choices of files, and delete, lock and unlock through the real
// erasebox; the write and read tasks with pushbox and pullbox.
#include "core/query_string.h"
#include "tests/e2e/deskbox_fixture_test.h"
#include "tests/e2e/support/datanet.h"

namespace morbs::e2e {
namespace {

const std::string id = "12345678903";
const std::string file = "1514764800000000005:report.pdf";

class DeskboxTasks : public DeskboxRun {
 protected:
  void start_nodes(int count) {
    net_ = std::make_unique<DataNet>(dir_.path(), count);
    // Until pullbox is built: "-list" gathers the nodes' lists as it does.
    std::string gather = "if [ \"$1\" = -list ]; then cat";
    for (int i = 0; i < count; ++i)
      for (const char* area : {"accounts", "accounts1"})
        gather += " '" + (net_->account_dir(i, id, area) / "files_list.q").string() + "'";
    shim("pullbox", "", gather + " > list.q 2>/dev/null; fi; exit 0");
  }
  // A whole file stored as uploads store it: basic copy on node 0, second on node 1.
  void store(const std::string& name, const std::string& content = "content") {
    net_->store_copy(0, id, "accounts", name, content, login_name(), 0);
    net_->store_copy(1, id, "accounts1", name, content, login_name(), 1);
  }
  std::string flag(int i, const std::string& name) const {
    std::string v;
    select_value(net_->list_line(i, id, i == 0 ? "accounts" : "accounts1", name), "CURR", v);
    return v;
  }
  // One cycle: the account, the task and what follows it, then quit.
  Outcome cycle(const std::string& task, const std::string& then = "") {
    std::filesystem::remove(tools_ / "calls");
    std::filesystem::remove(tools_ / "answers.pos");
    std::filesystem::remove(tools_ / "children.log");
    answers("account " + id + "\ntask " + task + "\n" + then + "account null\n");
    Outcome outcome = run_deskbox();
    EXPECT_EQ(outcome.exit_code, 1) << outcome.output;
    return outcome;
  }

  std::unique_ptr<DataNet> net_;
};

TEST_F(DeskboxTasks, LockUnlockAndDeleteChangeTheFlagsOnTheNodes) {
  start_nodes(2);
  store(file);
  store("1514764800000000009:other.txt");

  cycle("lock", "list ~report\n");
  EXPECT_EQ(calls(), (std::vector<std::string>{"--account", "--task", "--list\tLOCK\ttmp_list.q", "--account"}));
  // list.q is there while erasebox runs, and gone afterwards.
  EXPECT_EQ(children_named("erasebox"), std::vector<std::string>{"erasebox\t-ltest\t" + file + "\t(list.q)"});
  EXPECT_FALSE(exists("list.q"));
  EXPECT_FALSE(exists("tmp_list.q"));
  EXPECT_FALSE(exists("tmp"));
  EXPECT_EQ(flag(0, file), "locked");
  EXPECT_EQ(flag(1, file), "locked");
  EXPECT_EQ(flag(0, "1514764800000000009:other.txt"), "ishere");

  // A locked file is not offered for deletion; the unlock list holds only it.
  cycle("delete", "list\n");
  EXPECT_EQ(record().find("report.pdf"), std::string::npos);
  EXPECT_NE(record().find("  > "), std::string::npos);
  EXPECT_EQ(calls().back(), "--account");
  EXPECT_EQ(calls()[3], info("Nie wybrano pliku."));
  EXPECT_TRUE(children_named("erasebox").empty());

  cycle("unlock", "list 1\n");
  EXPECT_NE(record().find("--list\tUNLOCK\ttmp_list.q\n  > "), std::string::npos);
  EXPECT_EQ(split_lines(record()).size(), 5u);  // one locked file shown
  EXPECT_EQ(children_named("erasebox"), std::vector<std::string>{"erasebox\t-utest\t" + file + "\t(list.q)"});
  EXPECT_EQ(flag(0, file), "ishere");
  EXPECT_EQ(flag(1, file), "ishere");

  cycle("delete", "list ~report\n");
  EXPECT_EQ(children_named("erasebox"), std::vector<std::string>{"erasebox\t-dtest\t" + file + "\t(list.q)"});
  EXPECT_EQ(flag(0, file), "delete");
  EXPECT_EQ(flag(1, file), "delete");
  EXPECT_FALSE(std::filesystem::exists(net_->account_dir(0, id, "accounts") / file));

  // No locked file left.
  cycle("unlock");
  EXPECT_EQ(calls(), (std::vector<std::string>{"--account", "--task", info("Brak plikow LOCKED!"), "--account"}));
  EXPECT_TRUE(children_named("erasebox").empty());
}

TEST_F(DeskboxTasks, ListingShowsEveryCopyAndAsksForTheNextTaskOfTheSameAccount) {
  start_nodes(2);
  store(file);
  answers("account " + id + "\ntask listing\ntask\n");
  Outcome outcome = run_deskbox();
  EXPECT_EQ(outcome.exit_code, 0);
  EXPECT_EQ(calls(), (std::vector<std::string>{"--account", "--task", "--listing\tLIST\ttmp_list.q", "--task"}));
  // Shown: "DATE  FLAG  FN", one line a file (its basic copy), the date as
  // "YYYY-MM-DD  hh:mm:ss".
  std::vector<std::string> shown;
  for (const auto& line : split_lines(record()))
    if (line.rfind("  > ", 0) == 0) shown.push_back(line.substr(4));
  ASSERT_EQ(shown.size(), 1u);
  const std::string& line = shown[0];
  ASSERT_EQ(line.size(), 20 + 2 + 7 + 2 + file.size()) << line;
  EXPECT_EQ(line[4], '-');
  EXPECT_EQ(line.substr(10, 2), "  ");
  EXPECT_EQ(line[14], ':');
  EXPECT_EQ(line.substr(20), "  BC-REPO  " + file);
  EXPECT_EQ(children_named("pushbox").size(), 1u);  // one cycle
  EXPECT_EQ(children_named("pullbox"), std::vector<std::string>{"pullbox\t-list\t" + id});
  EXPECT_FALSE(exists("tmp_list.q"));
  EXPECT_FALSE(exists("tmp"));
}

TEST_F(DeskboxTasks, AnEmptyAccountStartsANewCycle) {
  start_nodes(2);
  for (const std::string task : {"listing", "read", "delete", "lock"}) {
    SCOPED_TRACE(task);
    cycle(task);
    EXPECT_EQ(calls(), (std::vector<std::string>{"--account", "--task", info("Konto jest puste!"), "--account"}));
    // Every cycle starts with the clean-up of interrupted uploads.
    EXPECT_EQ(children_named("pushbox"),
              (std::vector<std::string>{"pushbox\t-clear_disaster", "pushbox\t-clear_disaster"}));
  }
}

TEST_F(DeskboxTasks, NothingChosenEndsTheTask) {
  start_nodes(2);
  store(file);
  for (const std::string task : {"read", "delete", "lock"}) {
    SCOPED_TRACE(task);
    cycle(task, "list\n");
    ASSERT_EQ(calls().size(), 5u);
    EXPECT_EQ(calls()[3], info("Nie wybrano pliku."));
    EXPECT_TRUE(children_named("erasebox").empty());
    EXPECT_EQ(children_named("pullbox").size(), 1u);  // the list only
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "TEMP"));  // made by the read task
  EXPECT_EQ(flag(0, file), "ishere");
}

TEST_F(DeskboxTasks, AChosenLineWithoutAStoredNameIsSkipped) {
  start_nodes(2);
  store("5:plain.txt");  // a copy whose name has no full time prefix
  store(file);
  Outcome outcome = cycle("delete", "list ~plain ~report\n");
  EXPECT_NE(outcome.output.find(" No stored file name in the chosen line, skipped: "), std::string::npos)
      << outcome.output;
  EXPECT_EQ(children_named("erasebox"), std::vector<std::string>{"erasebox\t-dtest\t" + file + "\t(list.q)"});
  EXPECT_EQ(flag(0, "5:plain.txt"), "ishere");
  EXPECT_EQ(flag(0, file), "delete");
}

}  // namespace
}  // namespace morbs::e2e
