// The download flow on a scripted data network with played transfers: each
// piece in its place, the twin copy when the basic one fails.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "pullbox/read_command.h"
#include "core/digest/sha256.h"
#include "transfer/testing/scripted_network.h"
#include "transfer/testing/working_directory.h"

namespace morbs::pullbox {
namespace {

namespace fs = std::filesystem;
using testing::PlayedTransfers;
using testing::ScriptedNetwork;

constexpr int base = 9201;
const std::string id = "12345678903";
const std::string fn = "1514764800000000005:a.bin";

std::string line(const std::string& name, int org, int node) {
  return "OP=listfiles&SUB=add&FN=" + name + "&ID=" + id + "&UID32=u&ORG=" + std::to_string(org) +
         "&PORT=" + std::to_string(base + node) + "&DISK=accounts&CURR=ishere&DATE=20180101 00:00:00&";
}

class ReadFlow : public ::testing::Test {
 protected:
  void SetUp() override {
    run_.settings.ip_addr = "127.0.0.1";
    // Two parts, basic copies on nodes 0 and 1, second copies on 1 and 0.
    std::ofstream("list.q") << line(fn + ":0", 0, 0) << "\n" << line(fn + ":1", 0, 1) << "\n"
                            << line(fn + ":0", 1, 1) << "\n" << line(fn + ":1", 1, 0) << "\n";
    for (const auto& [name, bytes] : {std::pair{fn + ":0", std::string("first part ")},
                                      std::pair{fn + ":1", std::string("second part")}}) {
      net_.sizes[name] = bytes.size();
      net_.digests[name] = digest::to_hex(digest::sha256_of(bytes));
      played_.served[name] = bytes;
    }
  }
  std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  Status download(int transfers) {
    run_.settings.transfers = transfers;
    RunEnv env{reporter_, net_, played_};
    return read_command(run_, env, id, fn, "out.bin");
  }

  morbs::testing::WorkingDirectory dir_{"read_flow"};
  pullbox::Run run_;
  ScriptedNetwork net_{base, 2};
  PlayedTransfers played_;
  RecordingReporter reporter_{true};
};

TEST_F(ReadFlow, EveryPieceLandsInItsPlace) {
  for (int transfers : {1, 4}) {
    SCOPED_TRACE(transfers);
    std::ofstream("list.q.keep") << read("list.q");
    ASSERT_TRUE(download(transfers).ok()) << reporter_.said;
    EXPECT_EQ(read("out.bin"), "first part second part");
    EXPECT_EQ(played_.started.size(), 2u);
    EXPECT_FALSE(fs::exists("list.q"));  // removed at the end, as always
    fs::rename("list.q.keep", "list.q");
    played_.started.clear();
    reporter_.said.clear();
  }
}

// Part 2's basic copy fails every attempt: it comes from its second copy,
// the change is said, and the file is whole.
TEST_F(ReadFlow, AFailingCopyHandsThePieceToItsTwin) {
  played_.failing["MORB2/ACCOUNTS/12/34/56/78/90/3/" + fn + ":1"] = 3;
  ASSERT_TRUE(download(1).ok()) << reporter_.said;
  EXPECT_EQ(read("out.bin"), "first part second part");
  EXPECT_NE(reporter_.said.find("Error: download file, attmpt[3] from 3\n"), std::string::npos) << reporter_.said;
  // Each failed attempt's cause, then the change of copy.
  EXPECT_EQ(reporter_.errors,
            "part 2: played failure\npart 2: played failure\npart 2: played failure\n"
            "pullbox: part 2: the basic copy failed; the second copy is taken\n");
  EXPECT_EQ(played_.started.size(), 5u);  // part 1, part 2 three times, part 2's twin
}

// Both copies failing: the download fails and an earlier file stays.
TEST_F(ReadFlow, NoGoodCopyLeavesTheUsersFile) {
  std::ofstream("out.bin") << "the user's own";
  played_.failing[fn + ":1"] = 6;
  EXPECT_FALSE(download(4).ok());
  EXPECT_EQ(read("out.bin"), "the user's own");
  EXPECT_NE(reporter_.said.find("download error\n"), std::string::npos) << reporter_.said;
}

// Every piece is checked against its node's digest as it arrives: a copy
// that differs goes straight to its twin, each such event on its own line;
// no good copy fails the download and keeps the user's file; a node that
// keeps no digests is taken on sizes.
TEST_F(ReadFlow, APieceThatDiffersFromItsDigestComesFromItsTwin) {
  const std::string basic_of_part_1 = "MORB1/ACCOUNTS/12/34/56/78/90/3/" + fn + ":0";
  struct Case {
    const char* name;
    std::string rotten_at;  // URL text of the copies that serve changed bytes
    bool no_digest;
    bool ok;
    std::string errors;  // the lines on standard error
    size_t started;
  } cases[] = {
      {"one copy rotten", basic_of_part_1, false, true,
       "pullbox: part 1: the basic copy is not what its node recorded (its digest differs)\n"
       "pullbox: part 1: the basic copy failed; the second copy is taken\n",
       3},
      {"both copies rotten", fn + ":0", false, false,
       "pullbox: part 1: the basic copy is not what its node recorded (its digest differs)\n"
       "pullbox: part 1: the basic copy failed; the second copy is taken\n"
       "pullbox: part 1: the second copy is not what its node recorded (its digest differs)\n",
       3},
      {"no digests: sizes only", basic_of_part_1, true, true,
       "pullbox: no node of a piece keeps digests: such pieces are checked by size only\n", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream("list.q.keep") << read("list.q");
    std::ofstream("out.bin") << "the user's own";
    played_ = PlayedTransfers();
    played_.served = {{fn + ":0", "first part "}, {fn + ":1", "second part"}};
    played_.served_at[c.rotten_at] = "first pxrt ";
    net_.no_digest = c.no_digest;
    reporter_ = RecordingReporter(true);
    EXPECT_EQ(download(4).ok(), c.ok) << reporter_.said;
    EXPECT_EQ(reporter_.errors, c.errors);
    EXPECT_EQ(played_.started.size(), c.started);
    if (c.ok && !c.no_digest) {
      EXPECT_EQ(read("out.bin"), "first part second part");
    }
    if (!c.ok) {
      EXPECT_EQ(read("out.bin"), "the user's own");
    }
    if (c.no_digest) {
      EXPECT_EQ(reporter_.said.find("checked by size only"), std::string::npos);  // beside the system's texts
    }
    fs::rename("list.q.keep", "list.q");
  }
}

}  // namespace
}  // namespace morbs::pullbox
