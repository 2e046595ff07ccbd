// --sftp-stall-after: the node's SFTP service takes the login and the first
// bytes, then answers nothing more, as a stalled link would. curl with a
// speed limit gives up on it, up and down, and the node serves on.
#include <gtest/gtest.h>

#include <chrono>

#include "platform/process.h"
#include "tests/e2e/support/datanet.h"
#include "tests/e2e/support/temp_dir.h"

namespace morbs::e2e {
namespace {

using Clock = std::chrono::steady_clock;

const std::string id = "12345678903";

TEST(NodeStall, CurlWithASpeedLimitGivesUpOnAStalledTransfer) {
  TempDir dir("stall");
  DataNet net(dir.path(), 1, {{"--capacity", "10000000", "--sftp-stall-after", "100000"}});
  const std::string stored = "1514764800000000005:stored.bin", small = "1514764800000000006:small.bin";
  const std::string upload = "1514764800000000007:upload.bin";
  for (const auto& [name, size] : {std::pair{stored, 1000000}, std::pair{small, 10000}, std::pair{upload, 1000000}})
    ASSERT_NE(net.request(0, "OP=resv&ID=" + id + "&DISK=accounts&FN=" + name + "&FSZ=" + std::to_string(size) + "&")
                  .find("STATUS=done&"),
              std::string::npos);
  write_file(net.account_dir(0, id, "accounts") / stored, std::string(1000000, 'd'));
  write_file(net.account_dir(0, id, "accounts") / small, std::string(10000, 's'));
  dir.write("up.bin", std::string(1000000, 'u'));
  const std::string base = "sftp://127.0.0.1:" + std::to_string(net.sftp_port(0)) + "/home/" + net.user(0) +
                           "/MORBS-SYSTEM/MORB1/ACCOUNTS/12/34/56/78/90/3/";
  struct Case {
    std::vector<std::string> transfer;
    int exit_code;  // 28: curl's "too slow"
  };
  const Case cases[] = {
      {{"-o", (dir / "down.bin").string(), base + stored}, 28},
      {{"-T", (dir / "up.bin").string(), base + upload}, 28},
      {{"-o", (dir / "small.bin").string(), base + small}, 0},  // below the stall: served in full
  };
  for (const auto& c : cases) {
    std::vector<std::string> argv = {"curl", "-sS", "-k", "--user", net.user(0) + ":" + net.password(0),
                                     "--speed-limit", "1000", "--speed-time", "2"};
    argv.insert(argv.end(), c.transfer.begin(), c.transfer.end());
    platform::RunOptions options;
    options.merge_standard_error = true;
    options.timeout_ms = 30000;
    const auto start = Clock::now();
    auto r = platform::run_process(argv, options).value_or(platform::RunResult{});
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_EQ(r.exit_code, c.exit_code) << c.transfer.back() << ": " << r.output;
    EXPECT_LT(seconds, 15) << c.transfer.back();
  }
  EXPECT_EQ(read_file(dir / "small.bin"), std::string(10000, 's'));
  EXPECT_LT(read_file(net.account_dir(0, id, "accounts") / upload).size(), 1000000u);
}

}  // namespace
}  // namespace morbs::e2e
