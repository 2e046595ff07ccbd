#include "core/dns/name_servers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace morbs {
namespace {

using Table = std::vector<std::string>;

TEST(SplitNameServers, OneEntryPerServerInTheOrderFound) {
  struct Case {
    Table values;
    Table table;
  } cases[] = {
      {{"192.0.2.1,192.0.2.2"}, {"192.0.2.1", "192.0.2.2"}},
      {{"192.0.2.1 192.0.2.2", "192.0.2.3"}, {"192.0.2.1", "192.0.2.2", "192.0.2.3"}},
      {{"192.0.2.1,,\t 192.0.2.2,"}, {"192.0.2.1", "192.0.2.2"}},
      {{"::1", "fe80::1%eth0 127.0.0.53"}, {"127.0.0.53"}},
      {{std::string(99, '1'), std::string(100, '2') + ",127.0.0.1"},
       {std::string(99, '1'), "127.0.0.1"}},
      {{}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(split_name_servers(c.values), c.table);
}

TEST(SplitNameServers, KeepsTheFirstTen) {
  Table values;
  std::string all;
  for (int i = 1; i <= 12; ++i) {
    values.push_back("127.0.0." + std::to_string(i));
    all += "127.0.1." + std::to_string(i) + ",";
  }
  Table table = split_name_servers(values);
  ASSERT_EQ(table.size(), 10u);
  EXPECT_EQ(table.front(), "127.0.0.1");
  EXPECT_EQ(table.back(), "127.0.0.10");
  EXPECT_EQ(split_name_servers({all}).back(), "127.0.1.10");
}

TEST(RetrieveDnsServersFromRegistry, ListsEveryEntry) {
  auto path = std::filesystem::temp_directory_path() /
              ("morbs_ns_" + std::to_string(::getpid()));
  std::ofstream(path) << "# local\nnameserver 192.0.2.1,192.0.2.2\nsearch test\n";
  RecordingReporter listed;
  Table table = RetrieveDnsServersFromRegistry(path.string(), listed);
  EXPECT_EQ(listed.said, "\n1) 192.0.2.1\n2) 192.0.2.2");
  EXPECT_EQ(table, (Table{"192.0.2.1", "192.0.2.2"}));
  std::filesystem::remove(path);

  RecordingReporter none;
  EXPECT_TRUE(RetrieveDnsServersFromRegistry(path.string(), none).empty());
  EXPECT_EQ(none.said, "");
}

}  // namespace
}  // namespace morbs
