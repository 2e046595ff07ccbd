// What a careless user or a hostile disk does to a run: a file changed while
// it goes up, rot and truncation on a node's disk, OUT names the run needs
// itself, and join files that earlier runs left.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/e2e/pullbox_fixture.h"

namespace morbs::e2e {
namespace {

namespace fs = std::filesystem;

class ProbeFaults : public PullboxTest {};

// A file written to or truncated while its copies go up is not stored: its
// space is given back and the run says why. The nodes answer late, so the
// change lands while the upload is under way.
TEST_F(ProbeFaults, AFileChangedDuringItsUploadIsNotStored) {
  struct Case {
    const char* name;
    bool truncate;
    bool many;
  };
  const Case cases[] = {{"over.bin", false, false}, {"trunc.bin", true, false}, {"manyover.bin", false, true},
                        {"small.txt", false, false}};
  start_nodes(2, "MIN_SIZE=1000&\n", {{"--answer-delay-ms", "400"}, {"--answer-delay-ms", "400"}});
  add_config("ANSWER_WAIT_MS=5000&\n");
  for (const Case& c : cases) {
    const std::string local = std::string("src-") + c.name;
    const std::string content = pattern(std::string(c.name) == "small.txt" ? 500 : 200000, 7);
    dir_.write(local, content);
    std::vector<std::string> argv = {program("pushbox"), id, local, c.name};
    if (c.many) argv.insert(argv.end(), {dir_.str() + "/src-other", "other.bin"});
    if (c.many) dir_.write("src-other", pattern(3000, 8));
    platform::BackgroundProcess push;
    ASSERT_TRUE(push.start(argv, dir_.str(), (dir_ / (local + ".log")).string()));
    // Changed once the first reservation is made (its disaster file is there).
    bool reserved = false;
    for (int i = 0; i < 300 && !reserved; ++i) {
      for (const auto& e : fs::directory_iterator(dir_.path()))
        reserved = reserved || e.path().filename().string().find(".disater") != std::string::npos;
      if (!reserved) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(reserved) << c.name;
    if (c.truncate) {
      fs::resize_file(dir_ / local, 1000);
    } else {
      std::fstream f(dir_ / local, std::ios::in | std::ios::out | std::ios::binary);
      f.seekp(10);
      f.write("CHANGED", 7);
    }
    const int status = push.wait(120000);
    const std::string log = dir_.read(local + ".log");
    EXPECT_NE(status, 0) << c.name << "\n" << log;
    EXPECT_NE(log.find("pushbox: " + local + ": not stored: changed while it was being stored"),
              std::string::npos)
        << c.name << "\n" << log;
    // Nothing of it is registered, and no reservation stays.
    EXPECT_EQ(stored_name_of(c.name), "") << c.name;
    for (const auto& e : fs::directory_iterator(dir_.path()))
      EXPECT_EQ(e.path().filename().string().find(".disater"), std::string::npos) << c.name;
  }
}

// Rot on a node that keeps no digests is found by the digest its twin's
// node recorded, and the twin's bytes are taken; a truncated copy sends
// its piece to the twin, in either form of -rd and at either width.
TEST_F(ProbeFaults, ABadCopyIsCheckedAgainstAnyDigestAndItsTwinTaken) {
  struct Case {
    const char* name;
    size_t size;
    const char* org;  // the copy spoiled
    bool truncate;
    const char* transfers;
  };
  const Case cases[] = {{"rot1.bin", 800, "0", false, "1"},   {"rot2.bin", 5000, "0", false, "4"},
                        {"cut1.bin", 800, "0", true, "1"},    {"cut2.bin", 5000, "0", true, "4"},
                        {"cut3.bin", 5000, "1", true, "1"}};
  // Node 1 keeps no digests; every piece has a copy there.
  start_nodes(2, "MIN_SIZE=1000&INSTALLED_SERVERS=2&\n", {{"--no-digest"}, {}});
  for (const Case& c : cases) {
    const std::string content = pattern(c.size, 11);
    const std::string fn = push(c.name, content);
    // Every piece's copy `org`; the one on node 1 for a rot case.
    for (const std::string& line : list_lines_with(fn)) {
      std::string o, port, disk, stored;
      select_value(line, "ORG", o);
      select_value(line, "PORT", port);
      select_value(line, "DISK", disk);
      select_value(line, "FN", stored);
      const int node = std::stoi(port) - net_->base_port();
      const bool spoil = c.truncate ? o == c.org : node == 0;
      if (!spoil) continue;
      const fs::path file = net_->account_dir(node, id, disk) / stored;
      if (c.truncate) fs::resize_file(file, fs::file_size(file) / 2);
      else flip_byte(file, 3);
    }
    for (bool many : {false, true}) {
      add_config(std::string("TRANSFERS=") + c.transfers + "&TEST=0&\n");
      fs::remove(dir_ / "out.bin");
      fs::remove(dir_ / "list.q");
      std::vector<std::string> args = {"-rd", id, fn, "out.bin"};
      if (many) args.insert(args.end(), {fn, "out2.bin"});
      std::string out;
      const int status = exit_of("pullbox", args, out);
      if (many) {
        // Two OUTs for one stored file are two files.
        EXPECT_EQ(dir_.read("out2.bin"), content) << c.name;
      }
      EXPECT_EQ(status, 0) << c.name << " many " << many << "\n" << out;
      EXPECT_EQ(exists("out.bin") ? dir_.read("out.bin") : "", content) << c.name << " many " << many << "\n" << out;
      if (c.truncate && std::string(c.org) == "0")
        EXPECT_NE(out.find("the basic copy is not what its node recorded"), std::string::npos) << c.name << "\n" << out;
      EXPECT_EQ(out.find("checked by size only"), std::string::npos) << c.name << "\n" << out;
    }
  }
}

// -check -deep and -repair judge each copy by the digest recorded at
// upload: a truncated copy is the bad one, its intact twin the good one.
TEST_F(ProbeFaults, ATruncatedCopyIsTheBadOneAndRepairedFromItsTwin) {
  start_nodes(3, "MIN_SIZE=1000&TMIMEOUT_SEC=10&INSTALLED_SERVERS=3&\n");
  for (const char* org : {"0", "1"}) {
    const std::string name = std::string("t") + org + ".bin";
    const std::string content = pattern(700, 5);
    const std::string fn = push(name, content);
    const fs::path cut = copy_on_disk(fn, org);
    ASSERT_FALSE(cut.empty());
    fs::resize_file(cut, 100);
    std::string out;
    EXPECT_NE(exit_of("pullbox", {"-check", id, "-deep"}, out), 0) << out;
    const std::string copy = std::string(*org == '0' ? "basic" : "second") + " copy";
    EXPECT_NE(out.find(copy + ", node"), std::string::npos) << out;
    EXPECT_NE(out.find("its bytes differ from its node's digest"), std::string::npos) << out;
    EXPECT_EQ(out.find("its size differs from its twin's"), std::string::npos) << out;
    EXPECT_EQ(exit_of("pushbox", {"-repair", id}, out), 0) << out;
    EXPECT_NE(out.find("restored: " + fn + " " + copy), std::string::npos) << out;
    EXPECT_EQ(exit_of("pullbox", {"-check", id, "-deep"}, out), 0) << out;
  }
}

// An OUT that names a file of the run, or an OUT given before in the same
// run, is refused before anything is fetched.
TEST_F(ProbeFaults, AnOutTheRunUsesOrTakesTwiceIsRefused) {
  start_nodes(2);
  const std::string fn = push("a.txt", "alpha");
  const std::string fn2 = push("b.txt", "beta");
  const std::string config = dir_.read("client.config");
  const std::string certificate = dir_.read("crt.tmp");
  struct Case {
    std::vector<std::string> args;
    const char* named;
  };
  const Case cases[] = {{{"-rd", id, fn, "list.q"}, "list.q"},
                        {{"-rd", id, fn, "./crt.tmp"}, "crt.tmp"},
                        {{"-rd", id, fn, dir_.str() + "/client.config"}, "client.config"},
                        {{"-rd", id, fn, "x.txt", fn2, "crt.tmp"}, "crt.tmp"},
                        {{"-rd", id, fn, "same.txt", fn2, "./same.txt"}, "./same.txt"}};
  for (const Case& c : cases) {
    fs::remove(dir_ / "list.q");
    std::string out;
    EXPECT_NE(exit_of("pullbox", c.args, out), 0) << c.named << "\n" << out;
    EXPECT_NE(out.find(std::string(c.named) + ": refused"), std::string::npos) << c.named << "\n" << out;
    EXPECT_EQ(out.find("NR PART"), std::string::npos) << c.named << "\n" << out;
    EXPECT_EQ(dir_.read("client.config"), config);
    EXPECT_EQ(dir_.read("crt.tmp"), certificate);
    EXPECT_FALSE(exists("same.txt"));
  }
}

// Join files that killed runs left are removed by the next run, which is
// not kept from its download by them; a finished download leaves none.
TEST_F(ProbeFaults, JoinFilesOfEarlierRunsGoWithTheNextRun) {
  start_nodes(2, "MIN_SIZE=1000&\n");
  const std::string content = pattern(5000, 3);
  const std::string fn = push("j.bin", content);
  for (int n = 0; n < 100; ++n) dir_.write(".pullbox_join_" + std::to_string(n), "stale");
  dir_.write(".pullbox_join_99999_1", "stale");
  std::string out;
  EXPECT_EQ(exit_of("pullbox", {"-rd", id, fn, "j.out"}, out), 0) << out;
  EXPECT_EQ(dir_.read("j.out"), content);
  EXPECT_TRUE(leftovers().empty()) << leftovers().front();
}

}  // namespace
}  // namespace morbs::e2e
