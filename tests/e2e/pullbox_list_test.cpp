// pullbox -list: the account's lists of every node gathered into list.q.
#include "tests/e2e/pullbox_fixture.h"

namespace morbs::e2e {
namespace {

using PullboxList = PullboxTest;

TEST_F(PullboxList, GathersTheListsInNodeOrderAccountsFirst) {
  start_nodes(3);
  // Copies placed so that every node holds a different mix of areas.
  net_->store_copy(2, id, "accounts", "1514764800000000001:c.txt", "c", certificate_user, 0);
  net_->store_copy(1, id, "accounts1", "1514764800000000002:b.txt", "b", certificate_user, 1);
  net_->store_copy(0, id, "accounts1", "1514764800000000003:a.txt", "a", certificate_user, 1);
  net_->store_copy(0, id, "accounts", "1514764800000000004:d.txt", "d", certificate_user, 0);
  net_->store_copy(0, id, "accounts", "1514764800000000005:e.txt", "e", certificate_user, 0);
  dir_.write("list.q", "stale line of an older fetch&\n");
  EXPECT_EQ(pull({"-list", id}), "");
  const std::string expected = node_list(0, "accounts") + node_list(0, "accounts1") + node_list(1, "accounts1") +
                               node_list(2, "accounts");
  EXPECT_EQ(lines(expected).size(), 5u);
  EXPECT_EQ(dir_.read("list.q"), expected);
  EXPECT_EQ(leftovers(), std::vector<std::string>{"list.q"});

  net_->stop(0);  // a node that is down contributes nothing
  EXPECT_EQ(pull({"-list", id}), "");
  EXPECT_EQ(dir_.read("list.q"), node_list(1, "accounts1") + node_list(2, "accounts"));
}

TEST_F(PullboxList, NoListToFetch) {
  start_nodes(2);
  // The account is on no node: they answer, but hold no list for it.
  dir_.write("list.q", "old&\n");
  EXPECT_EQ(pull({"-list", id}), "Error: no files_list\n");
  EXPECT_FALSE(exists("list.q"));
  // No node answers at all: nothing is printed, nothing is written.
  net_->stop(0);
  net_->stop(1);
  EXPECT_EQ(pull({"-list", id}), "");
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(PullboxList, IdsAreCheckedAfterTheOldListIsGone) {
  start_nodes(1);
  struct Case {
    std::string id, printed;
  } cases[] = {
      {"1234567890", "Incorrect lenght of id-account\n"},
      {"123456789012", "Incorrect lenght of id-account\n"},
      {"12345678904", "\nIncoreect PESEL number\nUSE: pullbox -h \n"},
      {"1234567890/", "\nIncoreect PESEL number\nUSE: pullbox -h \n"},
  };
  for (const Case& c : cases) {
    dir_.write("list.q", "old&\n");
    EXPECT_EQ(pull({"-list", c.id}), c.printed) << c.id;
    EXPECT_FALSE(exists("list.q")) << c.id;
  }
  EXPECT_EQ(net_->log(0), "");  // no node was asked
}

// Every node counts on its own: a list that cannot be fetched is said and
// left out, the others still reach list.q, and the run ends as a failure.
TEST_F(PullboxList, AListFetchThatFailsCostsOnlyThatList) {
  for (const char* transfers : {"1", "4"}) {
    SCOPED_TRACE(std::string("TRANSFERS=") + transfers);
    // Node 1 advertises an SFTP port where nothing listens.
    start_nodes(2, std::string("TRANSFERS=") + transfers + "&TEST=1&\n", {{}, {"--sftp-off"}});
    const std::string fn = std::string("151476480000000000") + transfers + ":a.txt";
    net_->store_copy(0, id, "accounts", fn, "a", certificate_user, 0);
    net_->store_copy(1, id, "accounts", fn, "a", certificate_user, 1);
    const std::string out = run("pullbox", {"-list", id}, 120000, true).output;
    EXPECT_EQ(count_of(out, "Error: download file, attmpt["), 3u) << out;
    EXPECT_EQ(last_exit_, 1);
    EXPECT_NE(out.find("pullbox: the list of node 2 (basic) could not be fetched"), std::string::npos) << out;
    // Node 1's list is left out, node 0's is there.
    EXPECT_NE(dir_.read("list.q").find("FN=" + fn + "&"), std::string::npos);
    EXPECT_EQ(dir_.read("list.q").find("ORG=1&"), std::string::npos);
    std::filesystem::remove(dir_ / "list.q");
  }
}

// Fetched side by side, the lists still join in node order, quietly.
TEST_F(PullboxList, SideBySideTheSameListQ) {
  start_nodes(4);
  for (int i = 0; i < 4; ++i)
    for (const char* area : {"accounts", "accounts1"})
      net_->store_copy(i, id, area, "151476480000000000" + std::to_string(i) + ":" + area + ".txt", area,
                       certificate_user, std::string(area) == "accounts" ? 0 : 1);
  EXPECT_EQ(pull({"-list", id}), "");
  const std::string one_by_one = dir_.read("list.q");
  EXPECT_EQ(lines(one_by_one).size(), 8u);
  add_config("TRANSFERS=4&TEST=1&\n");
  EXPECT_EQ(pull({"-list", id}), "");
  EXPECT_EQ(dir_.read("list.q"), one_by_one);
  EXPECT_EQ(leftovers(), std::vector<std::string>{"list.q"});
}

}  // namespace
}  // namespace morbs::e2e
