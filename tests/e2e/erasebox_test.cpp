// erasebox, the real binary, against running nodes that hold the listed copies.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>

#include "core/wire/query_string.h"
#include "platform/process.h"
#include "tests/e2e/support/certificate_fixture.h"
#include "tests/e2e/support/datanet.h"
#include "tests/e2e/support/temp_dir.h"

namespace morbs::e2e {
namespace {

const std::string id = "12345678903";
const std::string file = "1514764800000000005:report.pdf";

std::string value(const std::string& line, const char* key) {
  std::string v;
  select_value(line, key, v);
  return v;
}

class Erasebox : public ::testing::Test {
 protected:
  void SetUp() override { copy_certificate_to(dir_.path()); }

  void start_nodes(int count, std::vector<std::vector<std::string>> extra = {}) {
    net_ = std::make_unique<DataNet>(dir_.path(), count, std::move(extra));
  }
  // Stores a copy on node i and adds its list line to list.q.
  void store(int i, const std::string& name, int org, const std::string& area = "accounts",
             const std::string& uid32 = certificate_user) {
    net_->store_copy(i, id, area, name, "content of " + name, uid32, org);
    list_ += net_->list_line(i, id, area, name) + "\n";
    dir_.write("list.q", list_);
  }
  void add_list_line(const std::string& line) {
    list_ += line + "\n";
    dir_.write("list.q", list_);
  }
  std::string flag_on(int i, const std::string& name, const std::string& area = "accounts") const {
    return value(net_->list_line(i, id, area, name), "CURR");
  }
  size_t changes_sent_to(int i) const {
    std::string log = net_->log(i);
    size_t count = 0;
    for (size_t at = log.find("SUB=chg&"); at != std::string::npos; at = log.find("SUB=chg&", at + 1)) ++count;
    return count;
  }
  // erasebox's standard output; its exit status and standard error are kept
  // in status_ and error_.
  std::string run(std::vector<std::string> args, long timeout_ms = 30000) {
    std::vector<std::string> argv = {program("erasebox")};
    argv.insert(argv.end(), args.begin(), args.end());
    platform::RunOptions options;
    options.working_directory = dir_.str();
    options.timeout_ms = timeout_ms;
    options.capture_error = true;
    auto r = platform::run_process(argv, options);
    EXPECT_TRUE(r && !r->timed_out);
    status_ = r ? r->exit_code : -1;
    error_ = r ? r->error : "";
    return r ? r->output : "";
  }

  TempDir dir_{"erasebox"};
  std::unique_ptr<DataNet> net_;
  std::string list_;
  int status_ = -1;
  std::string error_;
};

TEST_F(Erasebox, DeletesBothCopiesOfAWholeFile) {
  start_nodes(2);
  store(0, file, 0);
  store(1, file, 1, "accounts1");
  EXPECT_EQ(run({"-d", file}), "END... success!\n");
  EXPECT_EQ(changes_sent_to(0), 1u);
  EXPECT_EQ(changes_sent_to(1), 1u);
  EXPECT_EQ(flag_on(0, file), "delete");
  EXPECT_EQ(flag_on(1, file, "accounts1"), "delete");
  EXPECT_FALSE(std::filesystem::exists(net_->account_dir(0, id, "accounts") / file));
  EXPECT_FALSE(std::filesystem::exists(net_->account_dir(1, id, "accounts1") / file));
  EXPECT_EQ(dir_.read("list.q"), list_);  // the local list stays as it was
}

TEST_F(Erasebox, LocksAndUnlocks) {
  start_nodes(2);
  store(0, file, 0);
  store(1, file, 1);
  EXPECT_EQ(run({"-l", file}), "END... success!\n");
  EXPECT_EQ(flag_on(0, file), "locked");
  EXPECT_EQ(flag_on(1, file), "locked");
  // The list was not refreshed: it still says "ishere", so the requests go again.
  EXPECT_EQ(run({"-ltest", file}), "END... success!\n");
  EXPECT_EQ(changes_sent_to(0), 2u);
  // A locked copy is not deleted.
  EXPECT_EQ(run({"-dtest", file}),
            "Error in node: file_locked\nError: can't change flag because file_locked\n"
            "The file: " + file + " cannot be deleted\n"
            "Error in node: file_locked\nError: can't change flag because file_locked\n"
            "The file: " + file + " cannot be deleted\n"
            "[!] erasebox isn't finished completely.\n");
  EXPECT_TRUE(std::filesystem::exists(net_->account_dir(0, id, "accounts") / file));
  // With a refreshed list, unlock finds the locked copies.
  list_ = net_->list_line(0, id, "accounts", file) + "\n" + net_->list_line(1, id, "accounts", file) + "\n";
  dir_.write("list.q", list_);
  EXPECT_EQ(run({"-u", file}), "END... success!\n");
  EXPECT_EQ(flag_on(0, file), "ishere");
  EXPECT_EQ(flag_on(1, file), "ishere");
  // That list now says "locked": a lock finds nothing to do, which is no success.
  EXPECT_EQ(run({"-l", file}), "[!] erasebox isn't finished completely.\n");
  EXPECT_EQ(changes_sent_to(0), 4u);
}

// The exit status is 0 only for a run that changed at least one copy and
// failed nowhere; every run ends with one line on standard error that says
// how many copies it changed and why the others were not.
TEST_F(Erasebox, ExitStatusAndTheLastLineSayWhatWasDone) {
  start_nodes(2);
  store(0, file, 0);
  store(1, file, 1, "accounts1");
  store(0, "7:theirs.txt", 0, "accounts", "someone");
  const std::string port = std::to_string(net_->query_port(0));
  add_list_line("FN=8:kept.txt&ID=" + id + "&UID32=" + certificate_user + "&ORG=0&PORT=" + port +
                "&DISK=accounts&CURR=locked&");
  add_list_line("FN=9:gone.txt&ID=" + id + "&UID32=" + certificate_user + "&ORG=0&PORT=1&DISK=accounts&CURR=ishere&");
  const std::string not_done = "[!] erasebox isn't finished completely.\n";
  struct Case {
    std::vector<std::string> args;
    std::string printed;
    int status;
    std::string last_line;
  } cases[] = {
      {{"-d", "nothing-matches"}, not_done, 1, "erasebox: changed 0 copies, no line of list.q matches the name\n"},
      {{"-d", "kept.txt"}, not_done, 1, "erasebox: changed 0 of 1 matching copies; skipped: 1 locked\n"},
      {{"-u", file}, not_done, 1, "erasebox: changed 0 of 2 matching copies; skipped: 2 not locked\n"},
      {{"-d", "theirs"}, not_done, 1,
       "erasebox: changed 0 of 1 matching copies; skipped: 1 stored by another session\n"},
      {{"-d", "gone.txt"}, not_done, 1,
       "erasebox: changed 0 of 1 matching copies; failed: 1 node unreachable\n"},
      {{"-a", file}, not_done, 1, "erasebox: changed 0 copies, -a asks no node for a change\n"},
      {{"-l", file}, "END... success!\n", 0, "erasebox: changed 2 of 2 matching copies\n"},
      {{"-l", ".txt"}, not_done, 1,
       "erasebox: changed 1 of 3 matching copies; skipped: 1 locked; failed: 1 node unreachable\n"},
      {{"-x", file}, "USE: erasebox [-h] for help\n", 1, "erasebox: changed 0 copies, no option and name given\n"},
      {{"-h", "more"}, "USE: erasebox [-h] for help\n", 1, "erasebox: changed 0 copies, no option and name given\n"},
      {{"-d", ""}, "[!] empty file name: erasebox changes nothing\n", 1,
       "erasebox: changed 0 copies, the name is empty\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    EXPECT_EQ(run(c.args), c.printed);
    EXPECT_EQ(status_, c.status);
    EXPECT_EQ(error_, c.last_line);
  }
  EXPECT_EQ(flag_on(0, file), "locked");
  EXPECT_EQ(flag_on(0, "7:theirs.txt"), "locked");
  std::filesystem::remove(dir_ / "list.q");
  EXPECT_EQ(run({"-dtest", file}), "Error: can't open file list.q\n" + not_done);
  EXPECT_EQ(status_, 1);
  EXPECT_EQ(error_, "erasebox: changed 0 copies, list.q cannot be read\n");
  std::filesystem::remove(dir_ / "crt.tmp");
  run({"-d", file});
  EXPECT_EQ(status_, 1);
  EXPECT_EQ(error_, "erasebox: changed 0 copies, no valid session certificate\n");
}

TEST_F(Erasebox, DeleteSkipsCopiesOfOthersAndCopiesNotStored) {
  start_nodes(1);
  store(0, "1:mine.txt", 0);
  store(0, "2:theirs.txt", 0, "accounts", "someone");
  add_list_line("FN=3:old.txt&ID=" + id + "&UID32=" + certificate_user + "&ORG=0&PORT=" +
                std::to_string(net_->query_port(0)) + "&DISK=accounts&CURR=archiv&");
  add_list_line("FN=4:kept.txt&ID=" + id + "&UID32=" + certificate_user + "&ORG=0&PORT=" +
                std::to_string(net_->query_port(0)) + "&DISK=accounts&CURR=locked&");
  EXPECT_EQ(run({"-dtest", ".txt"}), "END... success!\n");
  EXPECT_EQ(changes_sent_to(0), 1u);
  EXPECT_EQ(flag_on(0, "1:mine.txt"), "delete");
  EXPECT_EQ(flag_on(0, "2:theirs.txt"), "ishere");
  // Lock and unlock act on every matching copy, whoever stored it.
  EXPECT_EQ(run({"-l", "theirs"}), "END... success!\n");
  EXPECT_EQ(flag_on(0, "2:theirs.txt"), "locked");
}

TEST_F(Erasebox, NoSuchFileOnTheNodeCountsAsDoneOnlyWithDiagnostics) {
  start_nodes(1);
  add_list_line("FN=" + file + "&ID=" + id + "&UID32=" + certificate_user + "&ORG=0&PORT=" +
                std::to_string(net_->query_port(0)) + "&DISK=accounts&CURR=ishere&");
  EXPECT_EQ(run({"-dtest", file}), "Error in node: error_rm_file\nThere is no file in the node\nEND... success!\n");
  EXPECT_EQ(run({"-d", file}), "[!] erasebox isn't finished completely.\n");
  EXPECT_EQ(run({"-ltest", file}), "Error in node: error_rm_file\nThere is no file in the node\nEND... success!\n");
}

TEST_F(Erasebox, NodesThatRefuseAreDownOrNeverAnswer) {
  start_nodes(3, {{"--refuse-all"}, {}, {"--never-answer"}});
  for (int i = 0; i < 3; ++i)
    add_list_line("FN=" + file + "&ID=" + id + "&UID32=" + certificate_user + "&ORG=0&PORT=" +
                  std::to_string(net_->query_port(i)) + "&DISK=accounts&CURR=ishere&");
  net_->stop(1);
  const std::string failed = "The file: " + file + " cannot be deleted\n";
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(run({"-dtest", file}),
            "Error: can't change flag because NULL\n" + failed +
            "Error connect: Connection refused\n" + failed +
            "Error read: chg flag in list_name\nError: can't change flag because NULL\n" + failed +
            "[!] erasebox isn't finished completely.\n");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
  EXPECT_EQ(changes_sent_to(2), 1u);
}

TEST_F(Erasebox, ValuesThatFailValidationAreNotSent) {
  start_nodes(1);
  const std::string port = std::to_string(net_->query_port(0));
  add_list_line("FN=1:a.txt&ID=" + id + "&UID32=" + certificate_user + "&ORG=0&PORT=" + port + "&DISK=ACCOUNTS&CURR=ishere&");
  add_list_line("FN=2:a.txt&ID=12345678904&UID32=" + certificate_user + "&ORG=0&PORT=" + port + "&DISK=accounts&CURR=ishere&");
  add_list_line("FN=3:a.txt&ID=" + id + "&UID32=" + certificate_user + "&ORG=0&DISK=accounts&CURR=ishere&");
  add_list_line("FN=4:a.txt&ID=" + id + "&UID32=" + std::string(42, 'u') + "&ORG=0&PORT=" + port + "&DISK=accounts&CURR=ishere&");
  // A value too long for its field, or a line without a port, refuses its
  // line while the list is read.
  EXPECT_EQ(run({"-dtest", "a.txt"}),
            "Error: list line refused, PORT not valid: FN=3:a.txt&ID=" + id + "&UID32=" + certificate_user +
            "&ORG=0&DISK=accounts&CURR=ishere&\n"
            "Error: list line refused, UID32 too long: FN=4:a.txt&ID=" + id + "&UID32=" + std::string(42, 'u') +
            "&ORG=0\n"
            "Error chg_flag: incorrect disk\nThe file: 1:a.txt cannot be deleted\n"
            "\nIncoreect PESEL number\nThe file: 2:a.txt cannot be deleted\n"
            "[!] erasebox isn't finished completely.\n");
  EXPECT_EQ(changes_sent_to(0), 0u);
  EXPECT_EQ(run({"-d", "a.txt"}), "[!] erasebox isn't finished completely.\n");
}

// Lines that would send a request out of the account tree or to a port the
// line cannot name: each is refused as it is read, nothing is sent for it,
// and the good line beside them is still done.
TEST_F(Erasebox, HostileListLinesAreRefusedAndNothingIsSentForThem) {
  start_nodes(1);
  const std::string port = std::to_string(net_->query_port(0));
  auto line = [&](const std::string& name, const std::string& line_id, const std::string& line_port) {
    return "FN=" + name + "&ID=" + line_id + "&UID32=" + certificate_user + "&ORG=0" +
           (line_port.empty() ? "" : "&PORT=" + line_port) + "&DISK=accounts&CURR=ishere&";
  };
  struct Case {
    std::string id, port, reason, shown_id;
  };
  const Case cases[] = {
      {"........./p", port, "ID not valid", ""},
      {"../../../..", port, "ID not valid", ""},
      {"12345678/03", port, "ID not valid", ""},
      {"12345678\\03", port, "ID not valid", ""},
      {"12345.78903", port, "ID not valid", ""},
      {"12345=78903", port, "ID not valid", ""},
      {"12345 78903", port, "ID not valid", ""},
      {"12345\t78903", port, "ID not valid", "12345?78903"},
      {"\x1b[2J5678901", port, "ID not valid", "?[2J5678901"},
      {id, "0", "PORT not valid", ""},
      {id, "-1", "PORT not valid", ""},
      {id, "65536", "PORT not valid", ""},
      {id, "74737", "PORT not valid", ""},
      {id, "4294967318", "PORT not valid", ""},
      {id, "port", "PORT not valid", ""},
      {id, "", "PORT not valid", ""},
  };
  std::string expected;
  int n = 0;
  for (const Case& c : cases) {
    const std::string name = std::to_string(100 + n++) + ":h.txt";
    const std::string text = line(name, c.id, c.port);
    add_list_line(text);
    std::string shown = text.substr(0, 80);
    if (!c.shown_id.empty()) shown = line(name, c.shown_id, c.port).substr(0, 80);
    expected += "Error: list line refused, " + c.reason + ": " + shown + "\n";
  }
  store(0, "999:h.txt", 0);
  EXPECT_EQ(run({"-ltest", "h.txt"}), expected + "[!] erasebox isn't finished completely.\n");
  EXPECT_EQ(changes_sent_to(0), 1u);  // the good line only
  EXPECT_EQ(flag_on(0, "999:h.txt"), "locked");
  EXPECT_EQ(run({"-d", "h.txt"}), "[!] erasebox isn't finished completely.\n");
  EXPECT_EQ(changes_sent_to(0), 2u);
}

TEST_F(Erasebox, AnEmptyPatternTouchesNothing) {
  start_nodes(1);
  store(0, file, 0);
  for (const char* option : {"-d", "-dtest", "-l", "-ltest", "-u", "-utest", "-a"}) {
    SCOPED_TRACE(option);
    EXPECT_EQ(run({option, ""}), "[!] empty file name: erasebox changes nothing\n");
  }
  dir_.write("client.config", "IP_ADDR=127.0.0.1&INIT_PORT_Q=" + std::to_string(net_->base_port()) + "&TEST=0&\n");
  EXPECT_EQ(run({"-d", ""}), "[!] empty file name: erasebox changes nothing\n");
  EXPECT_EQ(changes_sent_to(0), 0u);
  EXPECT_EQ(flag_on(0, file), "ishere");
  EXPECT_TRUE(std::filesystem::exists(net_->account_dir(0, id, "accounts") / file));
}

// Input files that are FIFOs: erasebox reads none of them and ends at once.
// No node runs and no list line exists, so nothing could be sent anywhere.
TEST_F(Erasebox, FifosInPlaceOfItsInputFilesDoNotHoldIt) {
  const std::string config = "IP_ADDR=127.0.0.1&INIT_PORT_Q=1&TEST=1&\n";
  dir_.write("client.config", config);
  auto fifo = [&](const std::string& name) {
    std::filesystem::remove(dir_ / name);
    ASSERT_EQ(::mkfifo((dir_ / name).c_str(), 0600), 0);
  };
  fifo("list.q");
  EXPECT_EQ(run({"-dtest", file}, 10000),
            "Error: can't open file list.q\n[!] erasebox isn't finished completely.\n");
  fifo("crt.tmp");
  const std::string no_card = "CERTYFICATE: no created certificate\n\n Incorrect access card\n";
  EXPECT_EQ(run({"-d", file}, 10000), no_card);
  std::filesystem::remove(dir_ / "crt.tmp");
  copy_certificate_to(dir_.path());
  fifo("client.config");
  std::filesystem::remove(dir_ / "list.q");
  // The defaults stay (TEST 1); with no list nothing is sent.
  EXPECT_EQ(run({"-d", file}, 10000), "[!] erasebox isn't finished completely.\n");
}

TEST_F(Erasebox, EveryMatchIsProcessedBeyondTwentyFour) {
  start_nodes(1);
  for (int n = 0; n < 30; ++n) store(0, std::to_string(1000 + n) + ":part.bin:" + std::to_string(n % 4), 0);
  EXPECT_EQ(run({"-l", "part.bin"}), "END... success!\n");
  EXPECT_EQ(changes_sent_to(0), 30u);
  EXPECT_EQ(flag_on(0, "1029:part.bin:1"), "locked");
}

TEST_F(Erasebox, ArgumentsListAndCertificate) {
  start_nodes(1);
  store(0, file, 0);
  const std::string usage = "USE: erasebox [-h] for help\n";
  EXPECT_EQ(run({}), usage);
  EXPECT_EQ(run({"-x", file}), usage);
  EXPECT_EQ(run({"-d"}), usage);
  EXPECT_EQ(run({"-d", std::string(257, 'p')}), "[!] too long lenght of [3] argument");
  // Nothing matches: nothing changed, which is no success.
  EXPECT_EQ(run({"-d", std::string(256, 'p')}), "[!] erasebox isn't finished completely.\n");
  EXPECT_EQ(run({"-d", ""}), "[!] empty file name: erasebox changes nothing\n");
  EXPECT_EQ(run({"-d", "nothing-matches"}), "[!] erasebox isn't finished completely.\n");
  EXPECT_EQ(run({"-a", file}), "[!] erasebox isn't finished completely.\n");
  EXPECT_EQ(run({"-atest", file}), "[!] erasebox isn't finished completely.\n");
  EXPECT_EQ(changes_sent_to(0), 0u);

  // The written text as it stands, the one line added after it, the usage.
  const std::string help = run({"-h"});
  const std::string pointer = "Every form of this version: erasebox --help\n";
  EXPECT_EQ(help.rfind("\n                       --- Help ---\n\n (1)  Erase the file", 0), 0u);
  EXPECT_EQ(std::count(help.begin(), help.end(), '\n'), 50 + 20 + 1 + 1);
  EXPECT_EQ(help.substr(help.size() - usage.size() - pointer.size() - 46),
            "                        --- END of Help --- \n\n" + pointer + usage);

  std::filesystem::remove(dir_ / "list.q");
  EXPECT_EQ(run({"-dtest", file}), "Error: can't open file list.q\n[!] erasebox isn't finished completely.\n");

  std::filesystem::remove(dir_ / "crt.tmp");
  const std::string no_card = "CERTYFICATE: no created certificate\n\n Incorrect access card\n";
  EXPECT_EQ(run({"-d", file}), no_card);
  const std::string help_without = run({"-h"});
  EXPECT_EQ(help_without.substr(help_without.size() - no_card.size()), no_card);
  EXPECT_EQ(help_without.substr(0, help.size() - usage.size()), help.substr(0, help.size() - usage.size()));
}

TEST_F(Erasebox, TestOffPrintsNothing) {
  start_nodes(1);
  store(0, file, 0);
  dir_.write("client.config", "IP_ADDR=127.0.0.1&INIT_PORT_Q=" + std::to_string(net_->base_port()) + "&TEST=0&\n");
  EXPECT_EQ(run({"-d", "x"}), "");
  EXPECT_EQ(run({"-q", file}), "");
  EXPECT_EQ(run({"-d", std::string(300, 'p')}), "");
  EXPECT_EQ(run({"-l", file}), "");
  EXPECT_EQ(flag_on(0, file), "locked");
}

}  // namespace
}  // namespace morbs::e2e
