#include "platform/resolv_conf.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace morbs::platform {
namespace {

class ResolvConf : public ::testing::Test {
 protected:
  std::filesystem::path path = std::filesystem::temp_directory_path() /
                               ("morbs_resolv_" + std::to_string(::getpid()));
  void write(const std::string& content) { std::ofstream(path, std::ios::binary) << content; }
  void TearDown() override { std::filesystem::remove(path); }
};

TEST_F(ResolvConf, TakesTheValueOfEveryNameserverLineInOrder) {
  write("# generated\n"
        "; nameserver 192.0.2.9\n"
        "search test\n"
        "nameserver 192.0.2.1\n"
        "nameserver\t 192.0.2.2 192.0.2.3 \r\n"
        "nameservers 192.0.2.8\n"
        " nameserver 192.0.2.7\n"
        "nameserver\n"
        "options ndots:1\n"
        "nameserver 192.0.2.4");
  EXPECT_EQ(read_name_server_values(path.string()),
            (std::vector<std::string>{"192.0.2.1", "192.0.2.2 192.0.2.3", "192.0.2.4"}));
}

TEST_F(ResolvConf, AMissingFileHasNoServers) {
  EXPECT_TRUE(read_name_server_values(path.string()).empty());
}

TEST_F(ResolvConf, ReadsNoFurtherThanItsLimit) {
  write(std::string(resolv_conf_read_limit - 5, '#') + "\nnameserver 192.0.2.1\n");
  EXPECT_TRUE(read_name_server_values(path.string()).empty());
}

}  // namespace
}  // namespace morbs::platform
