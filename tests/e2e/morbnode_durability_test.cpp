// What the node has answered "done" to is on disk: an uploaded file is
// flushed when its SFTP handle closes, a reservation (the new file and its
// directory entry) and a list line (appended in place) before the reply. Seen from outside with
// strace attached to a running node.
#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <thread>

#include "core/wire/query_string.h"
#include "platform/process.h"
#include "tests/e2e/support/certificate_fixture.h"
#include "tests/e2e/support/datanet.h"
#include "tests/e2e/support/temp_dir.h"

namespace morbs::e2e {
namespace {

const std::string id = "12345678903";
const std::string name = "1514764800000000005:durable.bin";

// The path of every fsync or fdatasync in the trace, in order (strace -y shows it).
std::vector<std::string> synced_paths(const std::string& trace) {
  std::vector<std::string> paths;
  const std::regex call(R"(f(?:data)?sync\(\d+<([^>]*)>\)\s*=\s*0)");
  for (auto it = std::sregex_iterator(trace.begin(), trace.end(), call); it != std::sregex_iterator(); ++it)
    paths.push_back((*it)[1]);
  return paths;
}

// Where `path` was flushed first (or last); -1 when never.
ptrdiff_t position(const std::vector<std::string>& paths, const std::string& path, bool last = false) {
  if (last) {
    auto it = std::find(paths.rbegin(), paths.rend(), path);
    return it == paths.rend() ? -1 : paths.rend() - it - 1;
  }
  auto it = std::find(paths.begin(), paths.end(), path);
  return it == paths.end() ? -1 : it - paths.begin();
}

TEST(NodeDurability, DataListsAndReservationsAreFlushedBeforeTheReply) {
  platform::RunOptions quick;
  quick.timeout_ms = 5000;
  if (platform::run_process({"strace", "-V"}, quick).value_or(platform::RunResult{}).exit_code != 0)
    GTEST_SKIP() << "strace is not installed";
  TempDir dir("durability");
  DataNet net(dir.path(), 1, {{"--capacity", "10000000"}});
  net.stop(0);
  platform::BackgroundProcess node;
  ASSERT_TRUE(node.start({program("morbnode"), "--root", net.root(0).string(), "--port",
                          std::to_string(net.query_port(0)), "--sftp-port", std::to_string(net.sftp_port(0)),
                          "--user", net.user(0), "--password", net.password(0), "--capacity", "10000000"},
                         {}, (dir / "node.out").string()));
  for (int i = 0; i < 250 && net.request(0, "TEST=H00&").empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  platform::BackgroundProcess strace;
  ASSERT_TRUE(strace.start({"strace", "-f", "-y", "-e", "trace=fsync,fdatasync", "-e", "signal=none", "-o",
                            (dir / "trace").string(), "-p", std::to_string(node.pid())},
                           {}, (dir / "strace.out").string()));
  for (int i = 0; i < 250 && read_file(dir / "strace.out").find("attached") == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  if (read_file(dir / "strace.out").find("attached") == std::string::npos)
    GTEST_SKIP() << "strace cannot attach here: " << read_file(dir / "strace.out");

  ASSERT_NE(net.request(0, "OP=resv&ID=" + id + "&DISK=accounts&FN=" + name + "&FSZ=1000000&").find("STATUS=done&"),
            std::string::npos);
  dir.write("up.bin", std::string(1000000, 'u'));
  platform::RunOptions options;
  options.merge_standard_error = true;
  options.timeout_ms = 60000;
  const std::string remote = "/home/" + net.user(0) + "/MORBS-SYSTEM/MORB1/ACCOUNTS/12/34/56/78/90/3/" + name;
  auto up = platform::run_process({"curl", "-sS", "-k", "--user", net.user(0) + ":" + net.password(0), "-T",
                                   (dir / "up.bin").string(),
                                   "sftp://127.0.0.1:" + std::to_string(net.sftp_port(0)) + remote},
                                  options).value_or(platform::RunResult{});
  ASSERT_EQ(up.exit_code, 0) << up.output;
  ASSERT_NE(net.request(0, "OP=listfiles&SUB=add&FN=" + name + "&ID=" + id +
                               "&UID32=u&ORG=0&PORT=1&DISK=accounts&").find("STATUS=done&"),
            std::string::npos);
  // The trace is written as strace goes: on a loaded machine the last
  // calls may reach it after the reply.
  for (int i = 0; i < 250 && read_file(dir / "trace").find("files_list.q") == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  strace.stop(5000);  // detaches; the node runs on
  EXPECT_EQ(net.request(0, "TEST=H00&"), "SN=1&");
  node.stop(5000);

  const auto paths = synced_paths(read_file(dir / "trace"));
  const std::filesystem::path account_dir = net.account_dir(0, id, "accounts");
  const std::string account = (account_dir / "x").parent_path().string();  // without a closing "/"
  const std::string private_dir = (net.root(0) / "private").string();
  const ptrdiff_t reservation = position(paths, private_dir + "/reservations.q.part");
  const ptrdiff_t data = position(paths, account + "/" + name);
  const ptrdiff_t list = position(paths, account + "/files_list.q", true);
  ASSERT_GE(reservation, 0) << read_file(dir / "trace");
  EXPECT_EQ(paths.at(static_cast<size_t>(reservation) + 1), private_dir);  // its directory entry next
  ASSERT_GE(data, 0) << read_file(dir / "trace");
  EXPECT_GT(list, data);  // the data before the line that names it
}

}  // namespace
}  // namespace morbs::e2e
