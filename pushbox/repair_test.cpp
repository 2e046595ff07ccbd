// pushbox -repair on a scripted data network with played transfers: where
// the new copy goes, what is registered, that the reservation is in the
// disaster file while the copy moves, and what a failure gives back.
#include "pushbox/repair.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/digest/sha256.h"
#include "transfer/testing/scripted_network.h"
#include "transfer/testing/working_directory.h"

namespace morbs::pushbox {
namespace {

namespace fs = std::filesystem;
using morbs::testing::PlayedTransfers;
using morbs::testing::ScriptedNetwork;

constexpr int base = 9201;
const std::string id = "12345678903";
const std::string fn = "1514764800000000005:a.bin";
const std::string bytes = "the stored bytes";
const std::string account = "/ACCOUNTS/12/34/56/78/90/3/";
const std::string journal = "repair-" + id + ".disater";

std::string line(int org, int node) {
  return "OP=listfiles&SUB=add&FN=" + fn + "&ID=" + id + "&UID32=u&ORG=" + std::to_string(org) +
         "&PORT=" + std::to_string(base + node) + "&DISK=accounts&CURR=ishere&DATE=20180101 00:00:00&\n";
}

std::string read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class RepairFlow : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_.ip_addr = "127.0.0.1";
    settings_.init_port = base;
    net_.sizes[fn] = bytes.size();
    net_.digests[fn] = digest::to_hex(digest::sha256_of(bytes));
    played_.served[fn] = bytes;
    // While a new copy moves, its reservation is in the disaster file: a run
    // killed then leaves it for -clear_disaster.
    played_.on_start = [this](const std::string& url) {
      if (url.find("MORB1/") == std::string::npos && url.find("files_list") == std::string::npos)
        journal_seen_ += read(journal);
    };
  }
  // Node i's list of the "accounts" area holds `lines`.
  void list_on(int node, const std::string& lines) {
    played_.served_at["MORB" + std::to_string(node + 1) + account + "files_list.q"] = lines;
  }

  morbs::testing::WorkingDirectory dir_{"repair_flow"};
  Settings settings_ = Settings::defaults(Program::pushbox);
  ScriptedNetwork net_{base, 4};
  PlayedTransfers played_;
  RecordingReporter reporter_{true};
  std::string journal_seen_;
};

TEST_F(RepairFlow, ANewCopyGoesWhereNoneIsAndIsRegisteredAsTheMissingOne) {
  struct Case {
    const char* name;
    bool second_listed;          // node 2 still lists the second copy
    const char* rotten;          // URL text of a copy that serves other bytes
    int failing;                 // attempts of the new copy that fail
    bool ok;
    const char* said;            // a line of the run
    int target;                  // where the new copy goes
    const char* org;             // as which copy it is registered
    std::vector<int> deleted_on; // nodes asked to mark a record deleted
  } cases[] = {
      {"the second copy lost with its node", false, "", 0, true,
       "restored: 1514764800000000005:a.bin second copy on node 2\n", 1, "1", {}},
      {"a rotten basic copy", true, "MORB1/", 0, true,
       "restored: 1514764800000000005:a.bin basic copy on node 3\n", 2, "0", {0}},
      {"the new copy fails every attempt", false, "", 3, false,
       "not restored: 1514764800000000005:a.bin second copy: the new copy could not be stored\n", 1, "", {1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    net_.asked.clear();
    reporter_.said.clear();
    journal_seen_.clear();
    played_.served_at.clear();
    played_.failing.clear();
    list_on(0, line(0, 0));
    if (c.second_listed) list_on(1, line(1, 1));
    if (*c.rotten) played_.served_at[std::string(c.rotten) + "ACCOUNTS/12/34/56/78/90/3/" + fn] = "other bytes here";
    if (c.failing) played_.failing["MORB" + std::to_string(c.target + 1) + account + fn] = c.failing;
    RunEnv env{reporter_, net_, played_};

    EXPECT_EQ(repair_account(id, settings_, "user01", env).ok(), c.ok) << reporter_.said;
    EXPECT_NE(reporter_.said.find(c.said), std::string::npos) << reporter_.said;
    EXPECT_NE(journal_seen_.find("OP=resv&ID=" + id + "&DISK=accounts&FN=" + fn + "&FSZ=16&IPADDR=127.0.0.1&PORT=" +
                                 std::to_string(base + c.target) + "&"),
              std::string::npos)
        << journal_seen_;
    EXPECT_FALSE(fs::exists(journal));  // registered, or given back
    const auto registered = net_.sent_to(c.target, "OP=listfiles&SUB=add");
    if (c.ok) {
      ASSERT_EQ(registered.size(), 1u);
      EXPECT_NE(registered[0].find("&ORG=" + std::string(c.org) + "&PORT=" + std::to_string(base + c.target)),
                std::string::npos);
      EXPECT_EQ(net_.sent_to(c.target, "OP=listARCHI&SUB=add").size(), 1u);
    } else {
      EXPECT_TRUE(registered.empty());
    }
    for (int node = 0; node < 4; ++node) {
      const bool deleted = !net_.sent_to(node, "OP=listfiles&SUB=chg").empty();
      EXPECT_EQ(deleted, std::count(c.deleted_on.begin(), c.deleted_on.end(), node) > 0) << node;
    }
    EXPECT_EQ(std::count_if(fs::directory_iterator("."), fs::directory_iterator(), [](auto&) { return true; }), 0);
  }
}

}  // namespace
}  // namespace morbs::pushbox
