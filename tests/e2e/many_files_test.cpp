// Many files in one run of pushbox and of pullbox -rd: each file keeps its
// own verdict and clean-up, and one that fails costs the others nothing.
#include <gtest/gtest.h>

#include "tests/e2e/pushbox_fixture.h"

namespace morbs::e2e {
namespace {

namespace fs = std::filesystem;

class ManyFiles : public PushboxTest {
 protected:
  // `faults[i]`: further switches of node i.
  void start(std::vector<std::vector<std::string>> faults = {}) {
    start_nodes(4, std::move(faults));
    // Several files register at once: a node busy with its disk (a loaded
    // test machine) may answer later than the shortest answer wait.
    config("MIN_SIZE=100000&\nTRANSFERS=4&\nANSWER_WAIT_MS=5000&\n");
    before_ = free_space();
  }
  // Writes the files and gives pushbox's arguments for them: PATH NAME each.
  std::vector<std::string> files(const std::vector<std::pair<std::string, size_t>>& named) {
    std::vector<std::string> args{push_id};
    unsigned seed = 1;
    for (const auto& [name, size] : named) {
      dir_.write(name, content_of(size, seed++));
      args.insert(args.end(), {name, name});
    }
    return args;
  }
  // Every stored file or part on the nodes, the lists aside.
  size_t data_files() const {
    size_t count = 0;
    for (int i = 0; i < nodes(); ++i)
      for (auto& e : fs::recursive_directory_iterator(net_->root(i)))
        if (e.is_regular_file() && e.path().string().find("/ACCOUNTS") != std::string::npos &&
            e.path().extension() != ".q")
          ++count;
    return count;
  }
  std::string pull(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {program("pullbox")};
    argv.insert(argv.end(), args.begin(), args.end());
    platform::RunOptions options;
    options.working_directory = dir_.str();
    options.timeout_ms = 120000;
    options.merge_standard_error = true;
    auto r = platform::run_process(argv, options);
    pull_exit_ = r ? r->exit_code : -1;
    return r ? r->output : "<pullbox did not start>";
  }
  std::vector<std::string> before_;
  int pull_exit_ = -1;
};

const std::vector<std::pair<std::string, size_t>> mixed = {
    {"a.txt", 4096}, {"b.bin", 250000}, {"empty", 0}, {"c.txt", 4096}, {"d.bin", 300001}, {"e.txt", 1}};

TEST_F(ManyFiles, StoredInOneRunAndFetchedInOne) {
  start();
  const std::string out = run(files(mixed));
  EXPECT_EQ(last_exit(), 0) << out;
  EXPECT_NE(out.find(" Stored 6 of 6 files\n"), std::string::npos) << out;
  EXPECT_TRUE(files_named(".disater").empty()) << out;
  EXPECT_TRUE(files_named("tmp_mfile").empty()) << out;
  // 4 whole files twice and 2 files of 4 parts twice: a node's connection
  // carries copy after copy, so no more connections are opened than
  // transfers run side by side at each node (TRANSFERS=4).
  EXPECT_EQ(data_files(), 4u * 2 + 2u * 8);
  EXPECT_GE(sftp_logins(), 4u) << out;  // every node holds copies
  EXPECT_LE(sftp_logins(), 4u * 4) << out;

  std::vector<std::string> args{"-rd", push_id};
  for (const auto& [name, size] : mixed) args.insert(args.end(), {name, "back-" + name});
  const std::string fetched = pull(args);
  EXPECT_EQ(pull_exit_, 0) << fetched;
  EXPECT_NE(fetched.find(" Fetched 6 of 6 files\n"), std::string::npos) << fetched;
  for (const auto& [name, size] : mixed) EXPECT_TRUE(dir_.read("back-" + name) == dir_.read(name)) << name;
  EXPECT_TRUE(files_named(".pullbox_join").empty());
}

// The nodes are asked about their room once; every file is placed on what
// the files before it left, so a run fills the network as far as it goes
// instead of sending every file to the two nodes that had most room.
TEST_F(ManyFiles, EachFileIsPlacedOnWhatTheFilesBeforeItLeft) {
  start_nodes(4, {}, 10000);  // node i: 10000 + i*1000 bytes in each area
  config("TRANSFERS=4&\nANSWER_WAIT_MS=5000&\n");
  std::vector<std::pair<std::string, size_t>> named;
  for (int i = 0; i < 8; ++i) named.emplace_back("f" + std::to_string(i), 4000);
  const std::string out = run(files(named));
  EXPECT_EQ(last_exit(), 0) << out;
  EXPECT_NE(out.find(" Stored 8 of 8 files\n"), std::string::npos) << out;
  EXPECT_EQ(data_files(), 16u);
}

// A file whose copies never arrive is given back; the others are stored,
// their copies carried by the same connections.
TEST_F(ManyFiles, AFailingFileAmongGoodOnesCostsOnlyItself) {
  start(std::vector<std::vector<std::string>>(4, {"--sftp-fail-name", "bad.bin"}));
  const std::string out = run(files({{"a.txt", 4096}, {"bad.bin", 5000}, {"c.bin", 200000}, {"d.txt", 10}}));
  EXPECT_EQ(last_exit(), 1) << out;
  EXPECT_NE(out.find(" Stored 3 of 4 files\n"), std::string::npos) << out;
  EXPECT_NE(out.find("pushbox: bad.bin: not stored: "), std::string::npos) << out;
  EXPECT_EQ(data_files(), 2u + 8u + 2u) << out;
  EXPECT_TRUE(files_named(".disater").empty()) << out;
  for (int i = 0; i < nodes(); ++i)
    for (const std::string area : {"accounts", "accounts1"})
      for (const auto& line : list_lines(i, area)) EXPECT_EQ(line.find("bad.bin"), std::string::npos) << line;
  EXPECT_NE(dir_.read("zz-errors.txt").find("bad.bin"), std::string::npos);
}

// A node that refuses archive lines fails the files with a copy there:
// their registered lines are marked deleted and their room given back,
// while the files elsewhere are stored.
TEST_F(ManyFiles, ARefusedRegistrationFailsOnlyTheFilesOnThatNode) {
  start_nodes(4, {{"--refuse-op", "listARCHI"}, {}, {}, {}});  // node 0 has least room
  config("MIN_SIZE=100000&\nTRANSFERS=4&\nANSWER_WAIT_MS=5000&\n");
  const std::string out = run(files({{"a.txt", 3000}, {"split.bin", 200000}}));
  EXPECT_EQ(last_exit(), 1) << out;
  EXPECT_NE(out.find("pushbox: split.bin: not stored: "), std::string::npos) << out;
  EXPECT_NE(out.find(" Stored 1 of 2 files\n"), std::string::npos) << out;
  for (int i = 0; i < nodes(); ++i)
    for (const std::string area : {"accounts", "accounts1"})
      for (const auto& line : list_lines(i, area))
        if (line.find("split.bin") != std::string::npos) EXPECT_EQ(field(line, "CURR"), "delete") << line;
  EXPECT_EQ(data_files(), 2u) << out;  // a.txt's two copies, on the nodes with most room
  EXPECT_TRUE(files_named(".disater").empty()) << out;
}

// Copies altered on the way up are never registered: the files with a copy
// on that node are given back, the others are stored, and every stored file
// comes back byte for byte.
TEST_F(ManyFiles, CopiesAlteredOnTheWayUpAreNotRegistered) {
  start_nodes(4, {{"--corrupt-uploads"}, {}, {}, {}});  // node 0 has least room
  config("MIN_SIZE=100000&\nTRANSFERS=4&\nANSWER_WAIT_MS=5000&\n");
  const std::string out = run(files({{"a.txt", 3000}, {"split.bin", 200000}, {"c.txt", 10}}));
  EXPECT_EQ(last_exit(), 1) << out;
  EXPECT_NE(out.find("pushbox: split.bin: not stored: "), std::string::npos) << out;
  EXPECT_NE(out.find(" Stored 2 of 3 files\n"), std::string::npos) << out;
  for (int i = 0; i < nodes(); ++i)
    for (const std::string area : {"accounts", "accounts1"})
      for (const auto& line : list_lines(i, area)) EXPECT_EQ(line.find("split.bin"), std::string::npos) << line;
  EXPECT_TRUE(files_named(".disater").empty()) << out;
  const std::string fetched = pull({"-rd", push_id, "a.txt", "back-a", "c.txt", "back-c"});
  EXPECT_EQ(pull_exit_, 0) << fetched;
  EXPECT_TRUE(dir_.read("back-a") == dir_.read("a.txt"));
  EXPECT_TRUE(dir_.read("back-c") == dir_.read("c.txt"));
}

// Arguments a run cannot take cost only their own file.
TEST_F(ManyFiles, UnreadableFilesAndRepeatedNamesAreRefusedAlone) {
  start();
  std::vector<std::string> args = files({{"a.txt", 100}, {"b.txt", 200}});
  args.insert(args.end(), {"missing.txt", "missing.txt", "b.txt", "a.txt"});
  const std::string out = run(args);
  EXPECT_EQ(last_exit(), 1) << out;
  EXPECT_NE(out.find(" Stored 2 of 4 files\n"), std::string::npos) << out;
  EXPECT_NE(out.find("pushbox: missing.txt: not stored: "), std::string::npos) << out;
  EXPECT_NE(out.find("the same name is given twice in one run"), std::string::npos) << out;
  EXPECT_EQ(data_files(), 4u);
}

// Killed while its uploads hang on nodes that take a session's first bytes
// and no more.
TEST_F(ManyFiles, AKilledRunIsClearedByClearDisaster) {
  start(std::vector<std::vector<std::string>>(4, {"--sftp-stall-after", "1"}));
  const std::vector<std::string> args = files({{"a.txt", 4096}, {"b.bin", 200000}, {"c.txt", 50}});
  ASSERT_TRUE(kill_pushbox_when(args)) << read_file(dir_ / "pushbox.out");
  EXPECT_EQ(files_named(".disater").size(), 3u);
  EXPECT_NE(free_space(), before_);
  const std::string out = run({"-clear_disaster"});
  EXPECT_EQ(last_exit(), 0) << out;
  EXPECT_EQ(free_space(), before_) << out;
  EXPECT_TRUE(files_named(".disater").empty()) << out;
  EXPECT_TRUE(files_named("tmp_mfile").empty()) << out;
}

// A file that cannot be fetched leaves its OUT as it was; the others come.
TEST_F(ManyFiles, AFileThatCannotBeFetchedCostsOnlyItself) {
  start();
  const std::string stored = run(files({{"a.txt", 3000}, {"b.bin", 200000}}));
  ASSERT_EQ(last_exit(), 0) << stored;
  dir_.write("kept", "what was here");
  const std::string out = pull({"-rd", push_id, "a.txt", "back-a", "nothing-of-that-name", "kept", "b.bin", "back-b"});
  EXPECT_EQ(pull_exit_, 1) << out;
  EXPECT_NE(out.find(" Fetched 2 of 3 files\n"), std::string::npos) << out;
  EXPECT_NE(out.find("pullbox: kept: not fetched: the file is not in the list"), std::string::npos) << out;
  EXPECT_EQ(dir_.read("kept"), "what was here");
  EXPECT_TRUE(dir_.read("back-a") == dir_.read("a.txt"));
  EXPECT_TRUE(dir_.read("back-b") == dir_.read("b.bin"));
}

}  // namespace
}  // namespace morbs::e2e
