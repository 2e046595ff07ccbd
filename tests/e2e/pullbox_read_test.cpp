// pullbox -rd: files stored by pushbox come back byte for byte, or the
// download fails and the user's file stays as it was.
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "core/wire/op_message.h"
#include "core/wire/scripted_node.h"
#include "tests/e2e/pullbox_fixture.h"

namespace morbs::e2e {
namespace {

std::string nr_parts(int count, const std::string& out) {
  std::string s;
  for (int k = 1; k <= count; ++k) s += "NR PART: " + std::to_string(k) + " of " + out + "\n";
  return s;
}

const std::string success = "End download. SUCCESS!\n";
const std::string three_failed_attempts =
    "Error: download file, attmpt[1] from 3\nError: download file, attmpt[2] from 3\n"
    "Error: download file, attmpt[3] from 3\n";

std::string value(const std::string& line, const char* key) {
  std::string v;
  select_value(line, key, v);
  return v;
}

// Split uploads need a small threshold.
const std::string matrix_config = "MIN_SIZE=1000&TEST=1&\n";

// Node i's index from a list line's port.
int node_of(const DataNet& net, const std::string& line) { return std::stoi(value(line, "PORT")) - net.base_port(); }

class PullboxRead : public PullboxTest {};

// A split file of one part per node.
class PullboxReadSplit : public PullboxTest, public ::testing::WithParamInterface<int> {};

TEST_P(PullboxReadSplit, ComesBackByteForByte) {
  const int nodes = GetParam();
  start_nodes(nodes, matrix_config);
  const std::string content = pattern(50003, static_cast<unsigned>(nodes));
  const std::string fn = push("split.bin", content);
  ASSERT_EQ(list_lines_with(fn + ":").size(), static_cast<size_t>(2 * nodes));
  // The upload asked each node about the copies it took; the download asks anew.
  std::vector<size_t> asked_before;
  for (int i = 0; i < nodes; ++i) asked_before.push_back(count_of(net_->log(i), "OP=chkfile&"));
  // Without list.q the list is fetched first.
  EXPECT_EQ(pull({"-rd", id, fn, "out.bin"}), nr_parts(nodes, "out.bin") + success);
  EXPECT_EQ(dir_.read("out.bin"), content);
  EXPECT_TRUE(leftovers().empty());
  // Every part came from its basic copy.
  for (int i = 0; i < nodes; ++i)
    EXPECT_EQ(count_of(net_->log(i), "OP=chkfile&"), asked_before[static_cast<size_t>(i)] + 1) << i;
}

TEST_P(PullboxReadSplit, APartWhoseBasicNodeIsDownComesFromItsSecondCopy) {
  const int nodes = GetParam();
  start_nodes(nodes, matrix_config);
  const std::string content = pattern(9001, 7);
  const std::string fn = push("split.bin", content);
  net_->stop(1);
  EXPECT_EQ(pull({"-list", id}), "");
  EXPECT_EQ(pull({"-rd", id, fn, "out.bin"}), nr_parts(nodes, "out.bin") + success);
  EXPECT_EQ(dir_.read("out.bin"), content);
  // Part 1's second copy lives on the next node.
  EXPECT_NE(net_->log((2) % nodes).find("PFN=" + fn + ":1&"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Parts, PullboxReadSplit, ::testing::Values(4, 3, 2));

// TRANSFERS=4: the parts come side by side, a line per finished part in
// place of the bars, and the same bytes.
TEST_F(PullboxRead, SideBySidePartsComeBackByteForByte) {
  start_nodes(4, "MIN_SIZE=1000&TRANSFERS=4&TEST=1&\n");
  for (size_t size : {size_t{200003}, size_t{3}}) {
    SCOPED_TRACE(size);
    const std::string content = pattern(size, 9);
    const std::string name = "side" + std::to_string(size) + ".bin";
    const std::string fn = push(name, content);
    // Parts as the upload chose them: one per node that answered.
    const int parts = size > 1000 ? static_cast<int>(list_lines_with(fn + ":").size() / 2) : 1;
    ASSERT_GE(parts, size > 1000 ? 2 : 1);
    const std::string out = pull({"-rd", id, fn, "out.bin"});
    EXPECT_EQ(out.rfind(nr_parts(parts, "out.bin"), 0), 0u) << out;
    for (int k = 1; k <= parts; ++k)
      EXPECT_EQ(count_of(out, " done: part " + std::to_string(k) + "\n"), 1u) << out;
    EXPECT_EQ(out.substr(out.size() - success.size()), success);
    EXPECT_TRUE(dir_.read("out.bin") == content);  // (not printed: large)
    EXPECT_TRUE(leftovers().empty());
  }
}

// One part's node has its SFTP service down: that part alone is tried three
// times, the others once, then it comes from its second copy; with the
// second copy's node down too, the download fails and the user's file stays.
TEST_F(PullboxRead, SideBySideOnePartFailingIsRetriedAloneThenTakenFromItsTwin) {
  start_nodes(4, matrix_config + "TRANSFERS=4&TEST=1&\n");
  const std::string fn = push("split.bin", pattern(40000, 3));
  EXPECT_EQ(pull({"-list", id}), "");
  std::string basic_of_part_2;
  for (const auto& line : list_lines_with(fn + ":2"))
    if (value(line, "ORG") == "0") basic_of_part_2 = line;
  const std::string content = pattern(40000, 3);
  const std::string listed = dir_.read("list.q");
  net_->start(node_of(*net_, basic_of_part_2), {"--sftp-off"});
  dir_.write("out.bin", "the user's own file");
  std::string out = pull({"-rd", id, fn, "out.bin"});
  EXPECT_EQ(count_of(out, "attmpt["), 3u) << out;
  EXPECT_EQ(count_of(out, " done: part "), 4u) << out;
  EXPECT_EQ(out.substr(out.size() - success.size()), success) << out;
  EXPECT_EQ(last_exit_, 0);
  EXPECT_TRUE(dir_.read("out.bin") == content);
  EXPECT_FALSE(exists("list.q"));

  dir_.write("list.q", listed);
  std::string second_of_part_2;
  for (const auto& line : list_lines_with(fn + ":2"))
    if (value(line, "ORG") == "1") second_of_part_2 = line;
  net_->start(node_of(*net_, second_of_part_2), {"--sftp-off"});
  dir_.write("out.bin", "the user's own file");
  out = pull({"-rd", id, fn, "out.bin"});
  // Both copies of part 3 failed: its basic copy after three attempts; its
  // second copy's node may have failed another part's transfer first and is
  // then not tried again, and nothing new starts once a part failed for good.
  EXPECT_GE(count_of(out, "attmpt["), 3u) << out;
  EXPECT_EQ(out.substr(out.size() - 15), "download error\n") << out;
  EXPECT_EQ(last_exit_, 1);
  EXPECT_EQ(dir_.read("out.bin"), "the user's own file");
  EXPECT_FALSE(exists("list.q"));
}

// Interrupted (Ctrl-C) while its parts come side by side, pullbox leaves no
// unfinished file behind, and the user's file as it was.
TEST_F(PullboxRead, SideBySideInterruptedLeavesNothingBehind) {
  start_nodes(4, matrix_config + "TRANSFERS=4&TEST=1&\n");
  const std::string fn = push("split.bin", pattern(40000, 4));
  EXPECT_EQ(pull({"-list", id}), "");
  // Nodes that stop answering after a byte: the download is under way, and
  // stays so, when the signal comes.
  for (int node = 0; node < 4; ++node) net_->start(node, {"--sftp-stall-after", "1"});
  dir_.write("out.bin", "the user's own file");
  platform::BackgroundProcess pullbox;
  ASSERT_TRUE(pullbox.start({program("pullbox"), "-rd", id, fn, "out.bin"}, dir_.str(),
                            (dir_ / "pullbox.out").string()));
  // Under way once every part's node was asked about its copy.
  auto asked_all = [&] {
    for (int node = 0; node < 4; ++node)
      if (net_->log(node).find("OP=chkfile") == std::string::npos) return false;
    return true;
  };
  for (int waited = 0; waited < 20000 && !asked_all(); waited += 50)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(asked_all()) << dir_.read("pullbox.out");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the parts under way
  ::kill(pullbox.pid(), SIGINT);
  pullbox.stop();
  EXPECT_EQ(dir_.read("out.bin"), "the user's own file");
  for (const std::string& name : leftovers()) EXPECT_NE(name.rfind(".pullbox", 0), 0u) << name;
}

TEST_F(PullboxRead, AWholeFileAndItsSecondCopy) {
  start_nodes(2);
  const std::string content = pattern(3000, 1);
  const std::string fn = push("small.txt", content);
  EXPECT_EQ(pull({"-rd", id, fn, "out.txt"}), nr_parts(1, "out.txt") + success);
  EXPECT_EQ(dir_.read("out.txt"), content);
  EXPECT_TRUE(leftovers().empty());

  // With the basic copy's node down when the list is fetched, the list has
  // only the second copy, and that one is read.
  const auto copies = list_lines_with(fn);
  ASSERT_EQ(copies.size(), 2u);
  const std::string& basic = value(copies[0], "ORG") == "0" ? copies[0] : copies[1];
  const std::string& second = value(copies[0], "ORG") == "0" ? copies[1] : copies[0];
  ASSERT_NE(node_of(*net_, basic), node_of(*net_, second));
  net_->stop(node_of(*net_, basic));
  std::filesystem::remove(dir_ / "out.txt");
  EXPECT_EQ(pull({"-rd", id, fn, "out.txt"}), nr_parts(1, "out.txt") + success);
  EXPECT_EQ(dir_.read("out.txt"), content);
  EXPECT_NE(net_->log(node_of(*net_, second)).find("OP=chkfile&ID=" + id + "&DISK=" + value(second, "DISK")),
            std::string::npos);
}

TEST_F(PullboxRead, EmptyFile) {
  start_nodes(2);
  const std::string fn = "1514764800000000005:empty.txt";
  net_->store_copy(0, id, "accounts", fn, "", certificate_user, 0);
  net_->store_copy(1, id, "accounts", fn, "", certificate_user, 1);
  dir_.write("out", "old content");
  EXPECT_EQ(pull({"-rd", id, fn, "out"}), nr_parts(1, "out") + success);
  EXPECT_EQ(dir_.read("out"), "");
}

TEST_F(PullboxRead, AStaleListIsUsedAsItStandsAndRemoved) {
  start_nodes(2);
  const std::string content = pattern(2000, 3);
  const std::string fn = push("stale.txt", content);
  // A list.q that knows only the second copy.
  std::string second;
  for (const auto& line : list_lines_with(fn))
    if (value(line, "ORG") == "1") second = line;
  dir_.write("list.q", second + "\n");
  const int second_node = node_of(*net_, second);
  // The upload asked each node about its copy; the download asks anew.
  const size_t asked_before[] = {count_of(net_->log(0), "OP=chkfile&"), count_of(net_->log(1), "OP=chkfile&")};
  EXPECT_EQ(pull({"-rd", id, fn, "out.txt"}), nr_parts(1, "out.txt") + success);
  EXPECT_EQ(dir_.read("out.txt"), content);
  EXPECT_FALSE(exists("list.q"));
  EXPECT_EQ(count_of(net_->log(second_node), "OP=chkfile&"), asked_before[second_node] + 1);
  EXPECT_EQ(count_of(net_->log(1 - second_node), "OP=chkfile&"), asked_before[1 - second_node]);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(count_of(net_->log(i), "OP=chkaccount&"), 0u);  // no fetch
}

TEST_F(PullboxRead, OutputNamesArriveIntact) {
  start_nodes(2);
  const std::string content = pattern(1500, 4);
  const std::string fn = push("odd.txt", content);
  for (const std::string out : {"my file 'single' \"double\" $HOME & `id` ;|#.txt", "-starts-with-dash",
                                "sub dir/out file"}) {
    std::filesystem::create_directories(dir_ / "sub dir");
    EXPECT_EQ(pull({"-rd", id, fn, out}), nr_parts(1, out) + success) << out;
    EXPECT_EQ(read_file(dir_ / out), content) << out;
  }
  EXPECT_TRUE(leftovers().empty());
}

// The basic copy's node fails at transfer time: the second copy is taken.
// Both copies' nodes failing: the download fails and the user's file stays.
TEST_F(PullboxRead, SFTPDownOnTheNodeTakesTheTwinOrFailsAndKeepsTheUsersFile) {
  start_nodes(2);
  const std::string content = pattern(1200, 5);
  const std::string fn = push("sftp.txt", content);
  EXPECT_EQ(pull({"-list", id}), "");
  std::string basic;
  for (const auto& line : list_lines_with(fn))
    if (value(line, "ORG") == "0") basic = line;
  const std::string listed = dir_.read("list.q");
  net_->start(node_of(*net_, basic), {"--sftp-off"});
  dir_.write("out.txt", "the user's own file");
  EXPECT_EQ(pull({"-rd", id, fn, "out.txt"}), nr_parts(1, "out.txt") + three_failed_attempts + success);
  EXPECT_EQ(last_exit_, 0);
  EXPECT_EQ(dir_.read("out.txt"), content);

  dir_.write("list.q", listed);
  net_->start(1 - node_of(*net_, basic), {"--sftp-off"});
  dir_.write("out.txt", "the user's own file");
  EXPECT_EQ(pull({"-rd", id, fn, "out.txt"}),
            nr_parts(1, "out.txt") + three_failed_attempts + three_failed_attempts + "download error\n");
  EXPECT_EQ(last_exit_, 1);
  EXPECT_EQ(dir_.read("out.txt"), "the user's own file");
  EXPECT_FALSE(exists("list.q"));
  EXPECT_FALSE(exists("tmp_list.q"));
}

// The basic copy's node stalls in the middle of the transfer: each attempt
// ends after STALL_SEC without progress, and the second copy is taken.
TEST_F(PullboxRead, AStalledTransferEndsAndTheTwinIsTaken) {
  start_nodes(2);
  add_config("STALL_SEC=1&TEST=1&\n");
  const std::string content = pattern(300000, 11);
  const std::string fn = push("stall.bin", content);
  EXPECT_EQ(pull({"-list", id}), "");
  std::string basic;
  for (const auto& line : list_lines_with(fn))
    if (value(line, "ORG") == "0") basic = line;
  net_->start(node_of(*net_, basic), {"--sftp-stall-after", "100000"});
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(pull({"-rd", id, fn, "out.bin"}), nr_parts(1, "out.bin") + three_failed_attempts + success);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
  EXPECT_EQ(last_exit_, 0);
  EXPECT_TRUE(dir_.read("out.bin") == content);
}

// A node whose query port says a part has another size than the one its
// SFTP service sends: every request goes on to the real node, only FSIZE
// is changed on the way back.
class SizeLiar {
 public:
  SizeLiar(int real_port, int64_t delta)
      : node_([real_port, delta](const std::string& request) {
          std::string message = request;
          if (op_message("127.0.0.1", real_port, message, 0, {1, 0}) != 0) return std::string("I love you.");
          std::string fsize;
          if (request.rfind("OP=chkfile&", 0) == 0 && select_value(message, "FSIZE", fsize) == 0) {
            const std::string field = "FSIZE=" + fsize + "&";
            message.replace(message.find(field), field.size(),
                            "FSIZE=" + std::to_string(std::stoll(fsize) + delta) + "&");
          }
          return message;
        }) {}
  int port() const { return node_.port(); }

 private:
  morbs::testing::ScriptedNode node_;
};

TEST_F(PullboxRead, APartOfAnotherSizeThanItsNodeSaidFails) {
  start_nodes(1);
  const std::string fn = "1514764800000000005:sized.bin";
  net_->store_copy(0, id, "accounts", fn, pattern(5000, 6), certificate_user, 0);
  // With several transfers the part is written in place; the same check holds.
  for (const std::string transfers : {"1", "4"})
  for (int64_t delta : {1, -1, -5000}) {
    SCOPED_TRACE(std::to_string(delta) + ", TRANSFERS=" + transfers);
    SizeLiar liar(net_->query_port(0), delta);
    dir_.write("client.config", "IP_ADDR=127.0.0.1&\nINIT_PORT_Q=" + std::to_string(liar.port()) +
                                    "&\nTRANSFERS=" + transfers + "&TEST=1&\n");
    std::string line = net_->list_line(0, id, "accounts", fn);
    const std::string port = "PORT=" + std::to_string(net_->query_port(0)) + "&";
    line.replace(line.find(port), port.size(), "PORT=" + std::to_string(liar.port()) + "&");
    dir_.write("list.q", line + "\n");
    dir_.write("out.bin", "the user's own file");
    // A piece of the wrong size fails its check as a piece of the wrong bytes
    // does: its source is done with at once, and with no twin the download fails.
    EXPECT_EQ(pull({"-rd", id, fn, "out.bin"}),
              nr_parts(1, "out.bin") + "Error: download file, attmpt[3] from 3\n" + "download error\n");
    EXPECT_EQ(dir_.read("out.bin"), "the user's own file");
    EXPECT_FALSE(exists("list.q"));
    for (const std::string& name : leftovers()) EXPECT_NE(name.rfind(".pullbox", 0), 0u) << name;
  }
}

TEST_F(PullboxRead, AListWithoutOneOfThePartsFailsBeforeJoining) {
  start_nodes(3, matrix_config);
  const std::string fn = push("gap.bin", pattern(6000, 8));
  // A later upload of the same name: its part 1 must not stand in for the
  // missing one when the name is given without its prefix.
  push("gap.bin", pattern(6000, 9));
  for (const std::string wanted : {fn, std::string("gap.bin")}) {
    SCOPED_TRACE(wanted);
    EXPECT_EQ(pull({"-list", id}), "");
    std::string list;
    for (const auto& line : lines(dir_.read("list.q")))
      if (line.find(fn + ":1&") == std::string::npos) list += line + "\n";
    dir_.write("list.q", list);
    dir_.write("out.bin", "the user's own file");
    EXPECT_EQ(pull({"-rd", id, wanted, "out.bin"}), nr_parts(1, "out.bin") + "Part 2 of the file is not in the list\n");
    EXPECT_EQ(dir_.read("out.bin"), "the user's own file");
    EXPECT_FALSE(exists("list.q"));
  }
}

TEST_F(PullboxRead, OldStylePortsAreMappedOntoTheQueryPorts) {
  start_nodes(2);
  const std::string fn = "1514764800000000005:mapped.txt";
  net_->store_copy(1, id, "accounts", fn, "mapped content", certificate_user, 0);
  const int init_port_p = net_->base_port() + 1000;
  add_config("INIT_PORT_P=" + std::to_string(init_port_p) + "&TEST=1&\n");
  std::string line = net_->list_line(1, id, "accounts", fn);
  const std::string port = "PORT=" + std::to_string(net_->query_port(1)) + "&";
  line.replace(line.find(port), port.size(), "PORT=" + std::to_string(init_port_p + 1) + "&");
  dir_.write("list.q", line + "\n");
  EXPECT_EQ(pull({"-rd", id, fn, "out.txt"}), nr_parts(1, "out.txt") + success);
  EXPECT_EQ(dir_.read("out.txt"), "mapped content");
}

TEST_F(PullboxRead, ArgumentsAndSelectionRefusals) {
  dir_.write("client.config", "IP_ADDR=127.0.0.1&\nINIT_PORT_Q=1&\nTEST=1&\n");
  const std::string listed = "FN=1514764800000000005:x.txt&ORG=0&PORT=1&DISK=accounts&CURR=ishere&\n"
                             "FN=1514764800000000006:x.bin:0&ORG=0&PORT=1&DISK=accounts&CURR=ishere&";
  struct Case {
    std::string id, fn_read, fn_out, printed;
    bool list_stays;
  } cases[] = {
      {"1234567890", "x.txt", "out", "Incorrect lenght of id-account\n", true},
      {"12345678904", "x.txt", "out", "\nIncoreect PESEL number\nUSE: pullbox -h \n", true},
      {id, std::string(257, 'f'), "out", "Incorrect lenght of file name in nodes\n", true},
      {id, "x.txt", std::string(1025, 'o'), "Incorrect lenght of local file name\n", true},
      {id, std::string(256, 'f'), "out", "No file name in the list\n", true},
      {id, "y.txt", std::string(1024, 'o'), "No file name in the list\n", true},
      {id, "1514764800000000005:x.txt:0", "out", "No file name in the list\n", true},
      // The wanted name is matched against the stored names, whole: a part's
      // own name, or a name found elsewhere in a line, names no file.
      {id, "1514764800000000006:x.bin:0", "out", "No file name in the list\n", true},
      {id, "ORG=0", "out", "No file name in the list\n", true},
      {id, "txt", "out", "No file name in the list\n", true},
  };
  for (const Case& c : cases) {
    dir_.write("list.q", listed + "\n");
    EXPECT_EQ(pull({"-rd", c.id, c.fn_read, c.fn_out}), c.printed) << c.printed;
    EXPECT_EQ(exists("list.q"), c.list_stays) << c.printed;
    EXPECT_FALSE(exists("out"));
  }
  // A node that is not there: the download ends after its part line.
  dir_.write("list.q", listed + "\n");
  EXPECT_EQ(pull({"-rd", id, "1514764800000000005:x.txt", "out"}), nr_parts(1, "out"));
  EXPECT_FALSE(exists("list.q"));
  EXPECT_FALSE(exists("out"));
}

}  // namespace
}  // namespace morbs::e2e
