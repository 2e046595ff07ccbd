// deskbox, the real binary, doing its tasks against running nodes with the
// real pushbox, pullbox and erasebox: write, listing, read, delete, lock and
// unlock, and the choices of files.
#include <unistd.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <utility>

#include "core/wire/query_string.h"
#include "tests/e2e/deskbox_fixture_test.h"
#include "tests/e2e/support/datanet.h"

namespace morbs::e2e {
namespace {

const std::string id = "12345678903";
const std::string file = "1514764800000000005:report.pdf";

class DeskboxTasks : public DeskboxRun {
 protected:
  void start_nodes(int count) { net_ = std::make_unique<DataNet>(dir_.path(), count); }
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

// A stored name from a node that holds control characters is shown with "?"
// in their place, and the chosen line still acts on the copy as it is stored.
TEST_F(DeskboxTasks, ControlCharactersOfNamesAreShownAsQuestionMarks) {
  start_nodes(2);
  store(file);
  const std::string hostile = "1514764800000000007:a\x1b[2Jb\x07.txt";
  const auto list = net_->account_dir(0, id, "accounts") / "files_list.q";
  write_file(list, read_file(list) + "FN=" + hostile + "&ID=" + id + "&UID32=" + login_name() +
                       "&ORG=0&PORT=" + std::to_string(net_->query_port(0)) +
                       "&DISK=accounts&CURR=ishere&DATE=20190101 01:02:03&\n");
  cycle("lock", "list 1\n");
  const std::string shown = record();
  EXPECT_NE(shown.find("1514764800000000007:a?[2Jb?.txt"), std::string::npos) << shown;
  EXPECT_EQ(shown.find('\x1b'), std::string::npos);
  EXPECT_EQ(shown.find('\x07'), std::string::npos);
  EXPECT_EQ(children_named("erasebox"), std::vector<std::string>{"erasebox\t-ltest\t" + hostile + "\t(list.q)"});
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

namespace morbs::e2e {
namespace {

// The stored files of node i's area whose names end in ":NAME".
std::vector<std::filesystem::path> stored_as(const std::filesystem::path& dir, const std::string& name) {
  std::vector<std::filesystem::path> found;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ignored)) {
    const std::string stored = entry.path().filename().string();
    if (stored.size() > name.size() + 1 && stored.compare(stored.size() - name.size() - 1, std::string::npos, ":" + name) == 0)
      found.push_back(entry.path());
  }
  return found;
}

// The contents of every stored copy of NAME on nodes 0 and 1, both areas.
std::vector<std::string> stored_contents(const DataNet& net, const std::string& name) {
  std::vector<std::string> contents;
  for (int i = 0; i < 2; ++i)
    for (const char* area : {"accounts", "accounts1"})
      for (const auto& p : stored_as(net.account_dir(i, id, area), name)) contents.push_back(read_file(p));
  return contents;
}

TEST_F(DeskboxTasks, WriteOfOneFileKeepsTheFourArgumentForm) {
  start_nodes(2);
  TempDir source("deskbox-source");
  const std::string tricky = (source / "a&b #|$`q` \"x\".txt").string();
  const std::string too_long = (source / (std::string(116, 'n') + ".txt")).string();  // 120 characters
  write_file(tricky, "file with & # | $ ` and quotes\n");
  write_file(too_long, "never uploaded\n");
  dir_.write("zz-test.txt", "left from before\n");

  Outcome outcome = cycle("write", "open " + too_long + "\t" + tricky + "\n");
  EXPECT_EQ(children_named("pushbox"),
            (std::vector<std::string>{"pushbox\t-clear_disaster", "pushbox\t" + id + "\t" + tricky + "\ta&b_#|$`q`_\"x\".txt",
                                      "pushbox\t-clear_disaster"}));
  EXPECT_NE(outcome.output.find(" Too long name of file !"), std::string::npos);
  EXPECT_FALSE(exists("zz-test.txt"));
  EXPECT_FALSE(exists("tmp"));
  EXPECT_EQ(calls(), (std::vector<std::string>{"--account", "--task", "--open", "--account"}));
  EXPECT_EQ(stored_contents(*net_, "a_b_____q___x_.txt"),
            (std::vector<std::string>(2, "file with & # | $ ` and quotes\n")))
      << outcome.output;
}

// Needs a pushbox that stores several files in one run.
TEST_F(DeskboxTasks, WriteHandsTheChosenFilesToOnePushboxRun) {
  start_nodes(2);
  TempDir source("deskbox-source");
  const std::string blanks = (source / "my file.txt").string();
  const std::string tricky = (source / "a&b #|$`q` \"x\".txt").string();
  const std::string too_long = (source / (std::string(116, 'n') + ".txt")).string();  // 120 characters
  const std::string missing = (source / "gone.txt").string();
  const std::string plain = (source / "plain.txt").string();
  write_file(blanks, "file with blanks in its name\n");
  write_file(tricky, "file with & # | $ ` and quotes\n");
  write_file(too_long, "never uploaded\n");
  write_file(plain, "plain\n");

  Outcome outcome =
      cycle("write", "open " + blanks + "\t" + too_long + "\t" + missing + "\t" + tricky + "\t" + plain + "\n");
  EXPECT_EQ(children_named("pushbox"),
            (std::vector<std::string>{"pushbox\t-clear_disaster",
                                      "pushbox\t" + id + "\t" + blanks + "\tmy_file.txt\t" + missing + "\tgone.txt\t" +
                                          tricky + "\ta&b_#|$`q`_\"x\".txt\t" + plain + "\tplain.txt",
                                      "pushbox\t-clear_disaster"}));
  EXPECT_NE(outcome.output.find(" Too long name of file !"), std::string::npos);
  EXPECT_FALSE(exists("tmp"));
  // The missing file fails alone: every other one arrived, both copies, byte for byte.
  EXPECT_EQ(stored_contents(*net_, "my_file.txt"), (std::vector<std::string>(2, "file with blanks in its name\n")))
      << outcome.output;
  EXPECT_EQ(stored_contents(*net_, "a_b_____q___x_.txt"),
            (std::vector<std::string>(2, "file with & # | $ ` and quotes\n")));
  EXPECT_EQ(stored_contents(*net_, "plain.txt"), (std::vector<std::string>(2, "plain\n")));
  EXPECT_TRUE(stored_contents(*net_, "gone.txt").empty());
}

TEST_F(DeskboxTasks, WriteWithNothingChosen) {
  start_nodes(1);
  cycle("write", "open\n");
  EXPECT_EQ(calls(), (std::vector<std::string>{"--account", "--task", "--open",
                                               info("Nie wybrano pliku do zapisu w ARCHI"), "--account"}));
  EXPECT_EQ(children_named("pushbox").size(), 2u);  // the clean-ups of two cycles only
}

TEST_F(DeskboxTasks, ReadBringsTheFileIntoTemp) {
  start_nodes(2);
  std::string content;
  for (int i = 0; i < 5000; ++i) content += static_cast<char>((i * 7919) % 256);
  store(file, content);
  store("1514764800000000009:other.txt");
  std::filesystem::create_directory(dir_ / "TEMP");
  dir_.write("TEMP/kept.txt", "an existing TEMP is used as it is\n");

  Outcome outcome = cycle("read", "list ~report\n");
  EXPECT_EQ(children_named("pullbox"),
            (std::vector<std::string>{"pullbox\t-list\t" + id, "pullbox\t-rd\t" + id + "\t" + file + "\tTEMP/report.pdf"}));
  EXPECT_EQ(dir_.read("TEMP/report.pdf"), content) << outcome.output;
  EXPECT_EQ(dir_.read("TEMP/kept.txt"), "an existing TEMP is used as it is\n");
  EXPECT_FALSE(exists("TEMP/other.txt"));
  EXPECT_FALSE(exists("list.q"));
  EXPECT_FALSE(exists("tmp_list.q"));
  EXPECT_FALSE(exists("tmp"));
}

// The fields of a recorded child line past its first `skip`.
std::vector<std::string> fields_after(const std::string& line, size_t skip) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
  fields.erase(fields.begin(), fields.begin() + static_cast<long>(std::min(skip, fields.size())));
  return fields;
}

// Needs a pullbox that fetches several files in one run.
TEST_F(DeskboxTasks, ReadHandsTheChosenFilesToOnePullboxRun) {
  start_nodes(2);
  const std::string other = "1514764800000000009:other.txt", lost = "1514764800000000008:lost.txt";
  store(file, "report\n");
  store(other, "other\n");
  store(lost, "lost\n");
  // Both copies of lost.txt are gone from the nodes: only that file fails.
  std::filesystem::remove(net_->account_dir(0, id, "accounts") / lost);
  std::filesystem::remove(net_->account_dir(1, id, "accounts1") / lost);

  Outcome outcome = cycle("read", "list ~report ~other ~lost\n");
  const std::vector<std::string> runs = children_named("pullbox");
  ASSERT_EQ(runs.size(), 2u) << outcome.output;
  EXPECT_EQ(runs[0], "pullbox\t-list\t" + id);
  // One run for the three files, in the order shown.
  std::vector<std::string> pairs = fields_after(runs[1], 3);
  ASSERT_EQ(pairs.size(), 6u) << runs[1];
  EXPECT_EQ(fields_after(runs[1], 0)[1], "-rd");
  std::vector<std::pair<std::string, std::string>> handed;
  for (size_t i = 0; i < pairs.size(); i += 2) handed.push_back({pairs[i], pairs[i + 1]});
  std::sort(handed.begin(), handed.end());
  EXPECT_EQ(handed, (std::vector<std::pair<std::string, std::string>>{
                        {file, "TEMP/report.pdf"}, {lost, "TEMP/lost.txt"}, {other, "TEMP/other.txt"}}));
  EXPECT_EQ(dir_.read("TEMP/report.pdf"), "report\n") << outcome.output;
  EXPECT_EQ(dir_.read("TEMP/other.txt"), "other\n");
  EXPECT_FALSE(exists("TEMP/lost.txt"));
}

TEST_F(DeskboxTasks, TwoDownloadsToOneNameGoOneAfterTheOther) {
  start_nodes(2);
  const std::string newer = "1514764800000000007:report.pdf";
  store(file, "older\n");
  store(newer, "newer\n");

  Outcome outcome = cycle("read", "list ~report\n");
  const std::vector<std::string> runs = children_named("pullbox");
  ASSERT_EQ(runs.size(), 3u) << outcome.output;
  const std::vector<std::string> first = fields_after(runs[1], 3), second = fields_after(runs[2], 3);
  ASSERT_EQ(first.size(), 2u);
  ASSERT_EQ(second.size(), 2u);
  EXPECT_EQ(first[1], "TEMP/report.pdf");
  EXPECT_EQ(second[1], "TEMP/report.pdf");
  EXPECT_EQ((std::set<std::string>{first[0], second[0]}), (std::set<std::string>{file, newer}));
  // The later chosen wins, as with one run per file.
  EXPECT_EQ(dir_.read("TEMP/report.pdf"), second[0] == newer ? "newer\n" : "older\n") << outcome.output;
}

TEST_F(DeskboxTasks, DeleteRunsEraseboxOncePerChosenFile) {
  start_nodes(2);
  const std::string other = "1514764800000000009:other.txt";
  store(file);
  store(other);
  cycle("delete", "list ~report ~other\n");
  const std::vector<std::string> runs = children_named("erasebox");
  EXPECT_EQ((std::set<std::string>(runs.begin(), runs.end())),
            (std::set<std::string>{"erasebox\t-dtest\t" + file + "\t(list.q)", "erasebox\t-dtest\t" + other + "\t(list.q)"}));
  EXPECT_EQ(runs.size(), 2u);
  for (const std::string& name : {file, other}) EXPECT_EQ(flag(0, name), "delete") << name;
}

// More chosen files than one command line holds: several pushbox runs, each
// within the system's limit, every file once and in the order chosen.
TEST_F(DeskboxTasks, AChoiceTooLongForOneCommandLineIsSplit) {
  shim("pushbox", "exit 0");  // only the command lines matter here
  const long limit = sysconf(_SC_ARG_MAX);
  ASSERT_GT(limit, 0);
  const std::string folder = "/" + std::string(1000, 'd') + "/";  // never opened
  std::vector<std::string> chosen;
  std::string open = "open ";
  for (size_t i = 0; chosen.size() * (folder.size() + 32) < static_cast<size_t>(limit) * 3 / 2; ++i) {
    chosen.push_back(folder + "f" + std::to_string(i));
    open += (i ? "\t" : "") + chosen.back();
  }
  Outcome outcome = cycle("write", open + "\n");

  std::vector<std::string> handed;
  size_t runs = 0;
  for (const std::string& run : children_named("pushbox")) {
    std::vector<std::string> argv = fields_after(run, 0);
    if (argv.size() == 2 && argv[1] == "-clear_disaster") continue;
    ++runs;
    size_t bytes = sizeof(char*);
    for (const std::string& argument : argv) bytes += argument.size() + 1 + sizeof(char*);
    EXPECT_LE(bytes, static_cast<size_t>(limit));
    ASSERT_GE(argv.size(), 4u);
    EXPECT_EQ(argv[1], id);
    for (size_t i = 2; i + 1 < argv.size(); i += 2) {
      EXPECT_EQ(argv[i + 1], argv[i].substr(folder.size()));
      handed.push_back(argv[i]);
    }
  }
  EXPECT_GE(runs, 2u) << outcome.output.substr(0, 2000);
  EXPECT_EQ(handed.size(), chosen.size());
  EXPECT_TRUE(handed == chosen) << "the files were handed over in another order";
}

}  // namespace
}  // namespace morbs::e2e
