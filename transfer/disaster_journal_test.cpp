#include "transfer/disaster_journal.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/wire/scripted_node.h"

namespace morbs {
namespace {

using morbs::testing::ScriptedNode;
namespace fs = std::filesystem;

RecordingReporter quiet(false);
NetworkExchange exchange({1, 0}, quiet);

class DisasterFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("disaster_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    path_ = (dir_ / "a.bin-matrix.disater").string();
  }
  void TearDown() override { fs::remove_all(dir_); }
  void write(const std::string& text) { std::ofstream(path_) << text; }
  std::string read() {
    std::ifstream in(path_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  fs::path dir_;
  std::string path_;
};

TEST_F(DisasterFile, EveryLineIsReleasedOnItsNodeAndTheFileGoes) {
  ScriptedNode node([](const std::string&) { return std::string("STATUS=refused&"); });
  ASSERT_TRUE(node.listening());
  const std::string at = "&IPADDR=127.0.0.1&PORT=" + std::to_string(node.port()) + "&\n";
  write("OP=resv&ID=12345678903&DISK=accounts&FN=15:a.bin:0&FSZ=500&" + at +
        "OP=resv&ID=12345678903&DISK=accounts1&FN=15:a.bin:1&FSZ=501&" + at);
  RecordingReporter reporter(false);
  // The node's answer is not examined: the release counts as sent.
  EXPECT_TRUE(DisasterJournal(path_).release(exchange, reporter).ok());
  EXPECT_EQ(node.requests(),
            (std::vector<std::string>{
                "OP=listfiles&SUB=chg&DISK=accounts&FN=15:a.bin:0&ID=12345678903&CURRNEW=delete&",
                "OP=listfiles&SUB=chg&DISK=accounts1&FN=15:a.bin:1&ID=12345678903&CURRNEW=delete&"}));
  EXPECT_FALSE(fs::exists(path_));
}

// One bad line costs only itself: the lines after it are still released,
// and only the bad one is kept.
TEST_F(DisasterFile, ABadLineCostsOnlyItself) {
  ScriptedNode node([](const std::string&) { return std::string("STATUS=done&"); });
  ASSERT_TRUE(node.listening());
  const std::string good = "OP=resv&ID=12345678903&DISK=accounts&FN=15:a&FSZ=1&IPADDR=127.0.0.1&PORT=" +
                           std::to_string(node.port()) + "&\n";
  struct Case {
    std::string bad_line;
    const char* printed;
    bool kept;  // always: nothing that could not be released is lost
  };
  const Case cases[] = {
      {"OP=resv&ID=12345678903&DISK=accounts&FN=15:NULL&FSZ=1&IPADDR=127.0.0.1&PORT=9&",
       "Error[!]: incorrect disaster-string [1]\n", true},
      {"", "Error[!]: incorrect disaster-string [1]\n", true},
      {std::string(520, 'x') + "&ID=1&DISK=a&FN=b&", "Error[!]: incorrect disaster-string [1]\n", true},
      {"OP=resv&ID=12345678903&DISK=accounts&FN=15:a&PORT=9&", "Error[!]: incorrect disaster-string [2]\n", true},
      {"OP=resv&ID=12345678903&DISK=accounts&FN=15:a&IPADDR=127.0.0.1&PORT=x&",
       "Error[!]: incorrect disaster-string [3]\n", true},
      {"OP=resv&ID=12345678903&DISK=accounts&FN=15:a&IPADDR=127.0.0.1&PORT=1&",
       "Error[!]: abort connection clear-disaster[0]\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.printed);
    write(good + c.bad_line + "\n" + good);
    const size_t sent = node.requests().size();
    RecordingReporter reporter(true);
    EXPECT_EQ(DisasterJournal(path_).release(exchange, reporter).ok(), !c.kept);
    EXPECT_EQ(reporter.said, c.printed);
    EXPECT_EQ(node.requests().size(), sent + 2);  // both good lines
    EXPECT_EQ(read(), c.bad_line + "\n");
  }
  // A file that cannot be read counts as released.
  RecordingReporter reporter(true);
  EXPECT_TRUE(DisasterJournal((dir_ / "none.disater").string()).release(exchange, reporter).ok());
  EXPECT_EQ(reporter.said, "Error[!]: can't open disaster-file\n");
}

// A new upload under the name of an interrupted one never overwrites what
// the interrupted one still holds.
TEST_F(DisasterFile, AnEarlierFileOfTheSameNameIsReleasedOrKeptAside) {
  const std::string unreachable = "OP=resv&ID=12345678903&DISK=accounts&FN=15:a&FSZ=1&IPADDR=127.0.0.1&PORT=1&\n";
  write(unreachable);
  RecordingReporter reporter(false);
  DisasterJournal journal(path_);
  journal.start_fresh(exchange, reporter);
  EXPECT_EQ(journal.path(), path_);
  EXPECT_EQ(read(), "");  // the new run's own, fresh
  std::ifstream aside(path_ + ".1");
  std::stringstream s;
  s << aside.rdbuf();
  EXPECT_EQ(s.str(), unreachable);
}

}  // namespace
}  // namespace morbs

namespace morbs {
namespace {

// A running upload's journal is its own: a second upload of the same name
// takes a name beside it, and -clear_disaster leaves it to its run.
TEST_F(DisasterFile, ARunningUploadsJournalIsLeftToIt) {
  const std::string line = "OP=resv&ID=12345678903&DISK=accounts&FN=15:a&FSZ=1&IPADDR=127.0.0.1&PORT=1&\n";
  write(line);
  auto running = platform::HeldFile::hold(path_, false);
  ASSERT_TRUE(running);
  RecordingReporter reporter(false);
  DisasterJournal second(path_);
  second.start_fresh(exchange, reporter);
  EXPECT_EQ(second.path(), path_ + ".1");
  EXPECT_EQ(read(), line);

  const fs::path here = fs::current_path();
  fs::current_path(dir_);
  EXPECT_TRUE(release_all_disaster_files(exchange, reporter).ok());
  fs::current_path(here);
  EXPECT_EQ(read(), line);  // nothing was sent for it, nothing dropped
}

// Two runs of one name starting at the same moment each end with a journal
// of their own, and neither gives back or removes what the other wrote.
TEST_F(DisasterFile, TwoRunsStartingAtOnceNeverShareOrEmptyAJournal) {
  RecordingReporter reporter(false);
  for (int round = 0; round < 1000; ++round) {
    DisasterJournal first(path_), second(path_);
    std::atomic<bool> go{false};
    std::thread beside([&] {
      while (!go) {
      }
      second.start_fresh(exchange, reporter);
      second.record("second\n");
    });
    go = true;
    first.start_fresh(exchange, reporter);
    first.record("first\n");
    beside.join();
    ASSERT_NE(first.path(), second.path()) << "round " << round;
    std::ifstream a(first.path()), b(second.path());
    std::string line_a, line_b;
    std::getline(a, line_a);
    std::getline(b, line_b);
    ASSERT_EQ(line_a, "first") << "round " << round;
    ASSERT_EQ(line_b, "second") << "round " << round;
    EXPECT_EQ(reporter.said, "");  // nothing found to give back
    first.remove();
    second.remove();
  }
}

}  // namespace
}  // namespace morbs
