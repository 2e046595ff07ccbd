// The node's SFTP service with the real peers: curl and OpenSSH's sftp.
#include <gtest/gtest.h>

#include <random>

#include "platform/process.h"
#include "tests/e2e/support/datanet.h"
#include "tests/e2e/support/temp_dir.h"

namespace morbs::e2e {
namespace {

const std::string account_path = "/MORBS-SYSTEM/MORB1/ACCOUNTS/12/34/56/78/90/3/";
const std::string stored = "1514764800000000005:report.pdf";

std::string random_bytes(size_t size) {
  std::mt19937_64 random(42);
  std::string s(size, '\0');
  for (auto& c : s) c = static_cast<char>(random());
  return s;
}

class NodeSftp : public ::testing::Test {
 protected:
  NodeSftp() : net_(dir_.path(), 1) {
    std::filesystem::create_directories(net_.account_dir(0, "12345678903", "accounts"));
  }
  std::string url(const std::string& path) const {
    return "sftp://127.0.0.1:" + std::to_string(net_.sftp_port(0)) + path;
  }
  std::string login() const { return net_.user(0) + ":" + net_.password(0); }
  platform::RunResult curl(std::vector<std::string> args) const {
    std::vector<std::string> argv = {"curl", "-sS", "-k"};
    argv.insert(argv.end(), args.begin(), args.end());
    platform::RunOptions options;
    options.merge_standard_error = true;
    options.timeout_ms = 60000;
    return platform::run_process(argv, options).value_or(platform::RunResult{});
  }
  TempDir dir_{"sftp"};
  DataNet net_;
};

TEST_F(NodeSftp, CurlUploadsAndDownloadsByteForByte) {
  for (size_t size : {size_t{0}, size_t{100000}, size_t{50} * 1000 * 1000}) {
    const std::string content = random_bytes(size);
    dir_.write("up.bin", content);
    const std::string remote = url("/home/" + net_.user(0) + account_path + stored);
    auto up = curl({remote, "--user", login(), "-T", (dir_ / "up.bin").string()});
    ASSERT_EQ(up.exit_code, 0) << up.output;
    EXPECT_EQ(read_file(net_.account_dir(0, "12345678903", "accounts") / stored).size(), size);
    auto down = curl({remote, "--user", login(), "-o", (dir_ / "down.bin").string()});
    ASSERT_EQ(down.exit_code, 0) << down.output;
    EXPECT_TRUE(dir_.read("down.bin") == content) << size;
  }
}

TEST_F(NodeSftp, RefusesAWrongPasswordAMissingDirectoryAndTheWayOut) {
  dir_.write("up.bin", "x");
  const std::string up = (dir_ / "up.bin").string();
  EXPECT_EQ(curl({url("/home/x"), "--user", net_.user(0) + ":wrong", "-T", up}).exit_code, 67);
  EXPECT_EQ(curl({url("/home/" + net_.user(0) + "/no/such/dir/f"), "--user", login(), "-T", up}).exit_code, 78);
  // ".." stops at the node's root: nothing outside it is written or read.
  auto escape = curl({url("/../../../escaped.txt"), "--user", login(), "-T", up});
  EXPECT_EQ(escape.exit_code, 0);
  EXPECT_TRUE(std::filesystem::exists(net_.root(0) / "escaped.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir_.path().parent_path() / "escaped.txt"));
  EXPECT_NE(curl({url("/../../etc/passwd"), "--user", login(), "-o", (dir_ / "p").string()}).exit_code, 0);
  // The node's private state is not served.
  EXPECT_NE(curl({url("/private/reservations.q"), "--user", login(), "-o", (dir_ / "r").string()}).exit_code, 0);
  // Nor is anything behind a symbolic link.
  std::filesystem::create_symlink("/etc", net_.root(0) / "link");
  EXPECT_NE(curl({url("/link/passwd"), "--user", login(), "-o", (dir_ / "l").string()}).exit_code, 0);
}

TEST_F(NodeSftp, OpenSshClientPutsGetsListsAndRenames) {
  const std::string content = random_bytes(300000);
  dir_.write("put.bin", content);
  const std::string home = "/home/" + net_.user(0);
  dir_.write("batch", "put " + (dir_ / "put.bin").string() + " " + home + "/a.bin\n" +
                          "rename " + home + "/a.bin " + home + "/b.bin\n" +
                          "get " + home + "/b.bin " + (dir_ / "got.bin").string() + "\n" +
                          "mkdir " + home + "/d\n" + "ls " + home + "\n" + "rm " + home + "/b.bin\n");
  platform::RunOptions options;
  options.merge_standard_error = true;
  options.timeout_ms = 60000;
  auto r = platform::run_process(
      {"sshpass", "-p", net_.password(0), "sftp", "-q", "-oBatchMode=no", "-oStrictHostKeyChecking=no",
       "-oUserKnownHostsFile=/dev/null", "-P", std::to_string(net_.sftp_port(0)), "-b",
       (dir_ / "batch").string(), net_.user(0) + "@127.0.0.1"},
      options).value_or(platform::RunResult{});
  ASSERT_TRUE(r.exit_code == 0) << r.output;
  EXPECT_TRUE(dir_.read("got.bin") == content);
  EXPECT_NE(r.output.find(home + "/b.bin"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find(home + "/d"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(net_.root(0) / "home" / net_.user(0) / "b.bin"));
  EXPECT_TRUE(std::filesystem::is_directory(net_.root(0) / "home" / net_.user(0) / "d"));
}

}  // namespace
}  // namespace morbs::e2e
