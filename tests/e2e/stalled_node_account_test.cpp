// A node whose SFTP service stalls, in the runs that read every copy of an
// account: it costs one transfer's attempts, not those of every copy it
// holds, and a piece whose only other copy sits on it is said to be
// unreadable there, not lost.
#include <chrono>
#include <filesystem>

#include "tests/e2e/pullbox_fixture.h"

namespace morbs::e2e {
namespace {

namespace fs = std::filesystem;

TEST_F(PullboxTest, AStalledNodeCostsOneTransferAndIsNamedAsUnread) {
  // Node 1 has the most room: every file's basic copy goes there.
  start_nodes(3, "INSTALLED_SERVERS=3&\n",
              {{"--capacity", "30000000"}, {"--capacity", "20000000"}, {"--capacity", "10000000"}});
  constexpr int files = 6;
  std::vector<std::string> stored;
  for (int n = 0; n < files; ++n) stored.push_back(push("f" + std::to_string(n) + ".bin", pattern(20000, n)));
  // The second copy of f0 is gone; its basic copy is on the node that stalls.
  std::string lost;
  for (const std::string& line : list_lines_with("FN=" + stored[0] + "&")) {
    std::string org, port, disk;
    select_value(line, "ORG", org);
    select_value(line, "PORT", port);
    select_value(line, "DISK", disk);
    if (org == "1") lost = (net_->account_dir(std::stoi(port) - net_->base_port(), id, disk) / stored[0]).string();
    if (org == "0") ASSERT_EQ(std::stoi(port) - net_->base_port(), 0) << line;
  }
  ASSERT_TRUE(!lost.empty() && fs::remove(lost));
  // Its lists (a few lines) still come; every copy stalls half-way.
  net_->start(0, {"--capacity", "30000000", "--sftp-stall-after", "10000"});
  add_config("STALL_SEC=2&\n");

  struct Case {
    const char* name;
    std::vector<std::string> args;
  };
  const Case cases[] = {{"pullbox", {"-check", id, "-deep"}}, {"pushbox", {"-repair", id}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto began = std::chrono::steady_clock::now();
    const std::string out = run(c.name, c.args, 120000, true).output;
    const auto took = std::chrono::steady_clock::now() - began;
    EXPECT_NE(last_exit_, 0) << out;
    // One transfer's three attempts; every other copy there is not tried.
    EXPECT_EQ(count_of(out, "nothing moved for 2 s: the node stalled\n"), 3u) << out;
    EXPECT_EQ(count_of(out, "not tried: the SFTP service at sftp://127.0.0.1:" + std::to_string(net_->sftp_port(0)) +
                                " failed earlier in this run"),
              static_cast<size_t>(files - 1))
        << out;
    EXPECT_LT(took, std::chrono::seconds(40)) << out;
    if (std::string(c.name) == "pushbox") {
      EXPECT_NE(out.find("not restored: " + stored[0] + " second copy: no good copy could be read: the other "
                         "copy's node (node 1) could not be read"),
                std::string::npos)
          << out;
      EXPECT_EQ(out.find("no good copy left"), std::string::npos) << out;
    }
  }
}

}  // namespace
}  // namespace morbs::e2e
