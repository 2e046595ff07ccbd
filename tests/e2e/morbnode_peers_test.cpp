// Peer SFTP clients against a node: rclone and OpenSSH's sftp move 20 files
// of 1 MiB each way, every run ending with status 0 and every byte intact.
#include <gtest/gtest.h>

#include <random>

#include "core/wire/query_string.h"
#include "platform/process.h"
#include "tests/e2e/support/datanet.h"
#include "tests/e2e/support/temp_dir.h"

namespace morbs::e2e {
namespace {

const std::string id = "12345678903";
constexpr int file_count = 20;
constexpr size_t file_size = 1 << 20;

std::string random_bytes(size_t size, uint64_t seed) {
  std::mt19937_64 random(seed);
  std::string s(size, '\0');
  for (auto& c : s) c = static_cast<char>(random());
  return s;
}

platform::RunResult run(const std::vector<std::string>& argv) {
  platform::RunOptions options;
  options.merge_standard_error = true;
  options.timeout_ms = 60000;
  return platform::run_process(argv, options).value_or(platform::RunResult{});
}

class NodePeers : public ::testing::Test {
 protected:
  NodePeers() : net_(dir_.path(), 1) {}

  std::string name(int i) const { return "1514764800000000005:peer" + std::to_string(i) + ".bin"; }
  std::string remote(int i) const {
    return "/home/" + net_.user(0) + "/MORBS-SYSTEM/MORB1/ACCOUNTS/12/34/56/78/90/3/" + name(i);
  }
  std::string content(int i) const { return random_bytes(file_size, static_cast<uint64_t>(i) + 1); }

  // The files to upload, each with its reservation on the node.
  void prepare() {
    for (int i = 0; i < file_count; ++i) {
      dir_.write("up" + std::to_string(i), content(i));
      const std::string reply = net_.request(0, "OP=resv&ID=" + id + "&DISK=accounts&FN=" + name(i) +
                                                    "&FSZ=" + std::to_string(file_size) + "&");
      ASSERT_NE(reply.find("STATUS=done&"), std::string::npos) << reply;
    }
  }

  void expect_all_intact() {
    for (int i = 0; i < file_count; ++i) {
      EXPECT_TRUE(read_file(net_.account_dir(0, id, "accounts") / name(i)) == content(i)) << i;
      EXPECT_TRUE(dir_.read("down" + std::to_string(i)) == content(i)) << i;
    }
  }

  TempDir dir_{"peers"};
  DataNet net_;
};

TEST_F(NodePeers, RcloneUploadsAndDownloadsEveryFile) {
  prepare();
  auto obscured = run({"rclone", "obscure", net_.password(0)});
  ASSERT_EQ(obscured.exit_code, 0) << obscured.output;
  std::string pass = obscured.output;
  while (!pass.empty() && (pass.back() == '\n' || pass.back() == '\r')) pass.pop_back();
  // A config of this test's own: the user's rclone settings are never read or written.
  dir_.write("rclone.conf", "[node]\ntype = sftp\nhost = 127.0.0.1\nport = " +
                                std::to_string(net_.sftp_port(0)) + "\nuser = " + net_.user(0) +
                                "\npass = " + pass + "\n");
  const std::vector<std::string> base = {"rclone", "--config", (dir_ / "rclone.conf").string(),
                                         "--retries", "1", "--low-level-retries", "1"};
  for (int i = 0; i < file_count; ++i) {
    auto argv = base;
    argv.insert(argv.end(), {"copyto", (dir_ / ("up" + std::to_string(i))).string(), "node:" + remote(i)});
    auto up = run(argv);
    EXPECT_EQ(up.exit_code, 0) << i << ": " << up.output;
  }
  for (int i = 0; i < file_count; ++i) {
    auto argv = base;
    argv.insert(argv.end(), {"copyto", "node:" + remote(i), (dir_ / ("down" + std::to_string(i))).string()});
    auto down = run(argv);
    EXPECT_EQ(down.exit_code, 0) << i << ": " << down.output;
  }
  expect_all_intact();
}

TEST_F(NodePeers, OpenSshSftpUploadsAndDownloadsEveryFile) {
  prepare();
  auto sftp = [&](const std::string& command) {
    dir_.write("batch", command + "\n");
    return run({"sshpass", "-p", net_.password(0), "sftp", "-q", "-oBatchMode=no",
                "-oStrictHostKeyChecking=no", "-oUserKnownHostsFile=/dev/null", "-P",
                std::to_string(net_.sftp_port(0)), "-b", (dir_ / "batch").string(),
                net_.user(0) + "@127.0.0.1"});
  };
  for (int i = 0; i < file_count; ++i) {
    auto up = sftp("put " + (dir_ / ("up" + std::to_string(i))).string() + " " + remote(i));
    EXPECT_EQ(up.exit_code, 0) << i << ": " << up.output;
  }
  for (int i = 0; i < file_count; ++i) {
    auto down = sftp("get " + remote(i) + " " + (dir_ / ("down" + std::to_string(i))).string());
    EXPECT_EQ(down.exit_code, 0) << i << ": " << down.output;
  }
  expect_all_intact();
}

}  // namespace
}  // namespace morbs::e2e
