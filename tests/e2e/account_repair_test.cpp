// Two good copies, kept: a lost node and a rotten copy found by pullbox
// -check and put right by pushbox -repair, a copy changed on the way up
// never registered, and nodes that keep no digests still served.
#include <filesystem>
#include <fstream>
#include <map>

#include "tests/e2e/pullbox_fixture.h"

namespace morbs::e2e {
namespace {

namespace fs = std::filesystem;

class AccountRepair : public PullboxTest {
 protected:
  struct Stored {
    std::string name, content, fn;
  };
  // Two whole files and two split in four parts (the split ones larger
  // than MIN_SIZE).
  std::vector<Stored> store_files() {
    std::vector<Stored> files = {{"w1.txt", pattern(700, 1), ""},
                                 {"w2.txt", pattern(10, 2), ""},
                                 {"s1.bin", pattern(5000, 3), ""},
                                 {"s2.bin", pattern(4003, 4), ""}};
    for (Stored& f : files) f.fn = push(f.name, f.content);
    return files;
  }
  int exit_of(const std::string& program, const std::vector<std::string>& args, std::string& output) {
    output = run(program, args, 120000, true).output;
    return last_exit_;
  }
  std::string download(const Stored& f) {
    fs::remove(dir_ / "list.q");
    run("pullbox", {"-rd", id, f.fn, "out-" + f.name});
    return exists("out-" + f.name) ? dir_.read("out-" + f.name) : "";
  }
  void wipe(int node) {
    net_->stop(node);
    fs::remove_all(net_->root(node));
    fs::create_directories(net_->root(node));
    net_->start(node);
  }
  // Node and area of one copy of `stored_name` (the first listed).
  std::pair<int, std::string> place_of(const std::string& stored_name, const std::string& org) {
    for (const std::string& line : list_lines_with("FN=" + stored_name + "&")) {
      std::string port, disk, o;
      select_value(line, "PORT", port);
      select_value(line, "DISK", disk);
      select_value(line, "ORG", o);
      if (o == org) return {std::stoi(port) - net_->base_port(), disk};
    }
    return {-1, ""};
  }
};

// A loaded machine may keep a node from answering within the fixture's 3 s;
// a node missed so would look like a lost one.
const std::string repair_config = "MIN_SIZE=1000&TRANSFERS=2&TMIMEOUT_SEC=10&TEST=1&\n";

TEST_F(AccountRepair, AWipedNodeIsNamedRestoredAndEveryFileSurvivesAnyOneNode) {
  start_nodes(4, repair_config);
  const std::vector<Stored> files = store_files();
  std::string out;
  ASSERT_EQ(exit_of("pullbox", {"-check", id}, out), 0) << out;
  EXPECT_NE(out.find("files fully redundant: 4, with one copy of some piece: 0, lost: 0\n"), std::string::npos)
      << out;

  // The files that had a copy on node 3: every split one, and the whole
  // ones the node selection put there.
  std::map<std::string, bool> on_node_3;
  for (const Stored& f : files) on_node_3[f.name] = place_of(f.fn, "0").first == 2 || place_of(f.fn, "1").first == 2 ||
                                                    f.content.size() > 1000;
  wipe(2);
  EXPECT_NE(exit_of("pullbox", {"-check", id}, out), 0) << out;
  for (const Stored& f : files)
    EXPECT_EQ(out.find(f.fn + ":") != std::string::npos, on_node_3[f.name]) << f.name << "\n" << out;
  EXPECT_NE(out.find("in no list that came"), std::string::npos) << out;

  ASSERT_EQ(exit_of("pushbox", {"-repair", id}, out), 0) << out;
  EXPECT_NE(out.find("restored: "), std::string::npos) << out;
  EXPECT_NE(out.find(", not restored: 0\n"), std::string::npos) << out;
  ASSERT_EQ(exit_of("pullbox", {"-check", id}, out), 0) << out;
  EXPECT_NE(out.find("files fully redundant: 4, with one copy of some piece: 0, lost: 0\n"), std::string::npos)
      << out;
  EXPECT_FALSE(exists("repair-" + id + ".disater"));

  for (int node = 0; node < 4; ++node) {
    SCOPED_TRACE("node " + std::to_string(node + 1) + " stopped");
    net_->stop(node);
    for (const Stored& f : files) EXPECT_EQ(download(f), f.content) << f.name;
    net_->start(node);
  }
}

// One byte flipped in one stored copy on a node's disk: the node's digest
// still says what was stored, so -rd takes the other copy and says so,
// -check -deep names the copy, -repair replaces it.
TEST_F(AccountRepair, ARottenCopyIsPassedOverFoundAndReplaced) {
  start_nodes(4, repair_config);
  const std::vector<Stored> files = store_files();
  for (const Stored& f : {files[0], files[2]}) {
    SCOPED_TRACE(f.name);
    const std::string piece = f.content.size() > 1000 ? f.fn + ":1" : f.fn;
    const auto [node, area] = place_of(piece, "0");
    ASSERT_GE(node, 0);
    const fs::path stored = net_->account_dir(node, id, area) / piece;
    std::string bytes = read_file(stored);
    bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x01);
    std::ofstream(stored, std::ios::binary | std::ios::trunc) << bytes;

    fs::remove(dir_ / "list.q");
    const std::string said = run("pullbox", {"-rd", id, f.fn, "out-" + f.name}, 120000, true).output;
    EXPECT_EQ(last_exit_, 0) << said;
    EXPECT_EQ(dir_.read("out-" + f.name), f.content);
    EXPECT_NE(said.find("the basic copy is not what its node recorded (its digest differs)"), std::string::npos)
        << said;
    EXPECT_NE(said.find("the basic copy failed; the second copy is taken"), std::string::npos) << said;

    std::string out;
    EXPECT_NE(exit_of("pullbox", {"-check", id, "-deep"}, out), 0) << out;
    EXPECT_NE(out.find(f.fn + ": " + (piece == f.fn ? "" : "part 2 ") + "basic copy, node " +
                       std::to_string(node + 1) + ": its bytes differ from its node's digest"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("with one copy of some piece: 1, lost: 0\n"), std::string::npos) << out;
    ASSERT_EQ(exit_of("pushbox", {"-repair", id}, out), 0) << out;
    EXPECT_NE(out.find("restored: " + piece + " basic copy on node "), std::string::npos) << out;
    ASSERT_EQ(exit_of("pullbox", {"-check", id, "-deep"}, out), 0) << out;
    EXPECT_FALSE(fs::exists(stored));  // the bad copy's record is deleted, and its data with it
  }
}

// A node that changes the bytes of every copy on the way in: the upload's
// check on it fails every attempt, so nothing is registered, the space is
// given back, and the run fails.
TEST_F(AccountRepair, ACopyChangedOnTheWayUpIsNeverRegistered) {
  start_nodes(2, "TMIMEOUT_SEC=10&TEST=1&\n", {{"--capacity", "100000"}, {"--capacity", "100000", "--corrupt-uploads"}});
  std::string out;
  const std::string space[] = {net_->request(0, "OP=currentspace&"), net_->request(1, "OP=currentspace&")};
  dir_.write("local.txt", pattern(300, 5));
  EXPECT_NE(exit_of("pushbox", {id, "local.txt", "changed.txt"}, out), 0) << out;
  EXPECT_NE(out.find("the node holds other bytes than were sent"), std::string::npos) << out;
  EXPECT_TRUE(list_lines_with("changed.txt").empty());
  for (int node = 0; node < 2; ++node) EXPECT_EQ(net_->request(node, "OP=currentspace&"), space[node]) << node;
}

// Nodes that keep no digests: copies are judged by the digests their lines
// carry, and the check has nothing to say of it.
TEST_F(AccountRepair, NodesWithoutDigestsAreJudgedByTheirLines) {
  start_nodes(4, repair_config, {{"--no-digest"}, {"--no-digest"}, {"--no-digest"}, {"--no-digest"}});
  const std::vector<Stored> files = store_files();
  for (const Stored& f : files) EXPECT_EQ(download(f), f.content) << f.name;
  std::string out;
  EXPECT_EQ(exit_of("pullbox", {"-check", id, "-deep"}, out), 0) << out;
  EXPECT_EQ(out.find("digests were not available"), std::string::npos) << out;
  EXPECT_NE(out.find("files fully redundant: 4, with one copy of some piece: 0, lost: 0\n"), std::string::npos)
      << out;
}

// Nodes that keep no digests and refuse the lines' own: the lines go as
// written (said once a run), uploads and downloads go by sizes, and the
// check says that digests were not available.
TEST_F(AccountRepair, NodesWithoutDigestsStillServeAndTheCheckSaysSo) {
  const std::vector<std::string> no_digests = {"--no-digest", "--refuse-listed-digests"};
  start_nodes(4, repair_config, {no_digests, no_digests, no_digests, no_digests});
  dir_.write("a.txt", pattern(300, 1));
  dir_.write("b.txt", pattern(400, 2));
  std::string pushed;
  EXPECT_EQ(exit_of("pushbox", {id, "a.txt", "a.txt", "b.txt", "b.txt"}, pushed), 0) << pushed;
  EXPECT_EQ(count_of(pushed, "refused a list line carrying its copy's digest"), 1u) << pushed;
  const std::vector<Stored> files = store_files();
  for (const Stored& f : files) EXPECT_EQ(download(f), f.content) << f.name;
  for (const std::string& line : list_lines_with("FN=")) EXPECT_EQ(line.find("SHA="), std::string::npos) << line;
  std::string out;
  EXPECT_EQ(exit_of("pullbox", {"-check", id}, out), 0) << out;
  EXPECT_NE(out.find("digests were not available from node 1: its copies were compared by size only\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("files fully redundant: 6, with one copy of some piece: 0, lost: 0\n"), std::string::npos)
      << out;
}

}  // namespace
}  // namespace morbs::e2e
