// The node's SFTP service with the real peers: curl and OpenSSH's sftp. A
// client writes only a stored file under its reservation, up to its size.
#include <gtest/gtest.h>

#include <random>

#include "core/wire/query_string.h"
#include "platform/process.h"
#include "tests/e2e/support/datanet.h"
#include "tests/e2e/support/temp_dir.h"

namespace morbs::e2e {
namespace {

const std::string id = "12345678903";
const std::string account_path = "/MORBS-SYSTEM/MORB1/ACCOUNTS/12/34/56/78/90/3/";
const std::string stored = "1514764800000000005:report.pdf";

std::string random_bytes(size_t size, uint64_t seed = 42) {
  std::mt19937_64 random(seed);
  std::string s(size, '\0');
  for (auto& c : s) c = static_cast<char>(random());
  return s;
}

class NodeSftp : public ::testing::Test {
 protected:
  NodeSftp() : net_(dir_.path(), 1, {{"--capacity", "100000000"}}) {}
  std::string home() const { return "/home/" + net_.user(0); }
  std::string remote(const std::string& name) const { return home() + account_path + name; }
  std::string url(const std::string& path) const {
    return "sftp://127.0.0.1:" + std::to_string(net_.sftp_port(0)) + path;
  }
  std::string login() const { return net_.user(0) + ":" + net_.password(0); }
  std::filesystem::path local(const std::string& name) const {
    return net_.account_dir(0, id, "accounts") / name;
  }
  void reserve(const std::string& name, size_t size) {
    std::string status;
    select_value(net_.request(0, "OP=resv&ID=" + id + "&DISK=accounts&FN=" + name + "&FSZ=" +
                                     std::to_string(size) + "&"),
                 "STATUS", status);
    ASSERT_EQ(status, "done") << name;
  }
  platform::RunResult curl(std::vector<std::string> args) const {
    std::vector<std::string> argv = {"curl", "-sS", "-k"};
    argv.insert(argv.end(), args.begin(), args.end());
    return run(argv);
  }
  // OpenSSH's sftp with a batch of commands; it stops at the first that fails.
  platform::RunResult sftp(const std::string& batch) {
    dir_.write("batch", batch);
    return run({"sshpass", "-p", net_.password(0), "sftp", "-q", "-oBatchMode=no",
                "-oStrictHostKeyChecking=no", "-oUserKnownHostsFile=/dev/null", "-P",
                std::to_string(net_.sftp_port(0)), "-b", (dir_ / "batch").string(),
                net_.user(0) + "@127.0.0.1"});
  }
  static platform::RunResult run(const std::vector<std::string>& argv) {
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
    const std::string name = "1514764800000000005:f" + std::to_string(size);
    reserve(name, size);
    dir_.write("up.bin", content);
    auto up = curl({url(remote(name)), "--user", login(), "-T", (dir_ / "up.bin").string()});
    ASSERT_EQ(up.exit_code, 0) << up.output;
    EXPECT_EQ(read_file(local(name)).size(), size);
    auto down = curl({url(remote(name)), "--user", login(), "-o", (dir_ / "down.bin").string()});
    ASSERT_EQ(down.exit_code, 0) << down.output;
    EXPECT_TRUE(dir_.read("down.bin") == content) << size;
  }
}

TEST_F(NodeSftp, WritesOnlyUnderAReservationAndUpToItsSize) {
  reserve(stored, 1000);
  struct Case {
    std::string path;
    size_t size;
    bool written;
  };
  const Case cases[] = {
      {remote("1514764800000000006:never.reserved"), 10, false},
      {remote(stored), 1001, false},  // one byte beyond the reservation
      {remote(stored), 1000, true},
      {remote("files_list.q"), 10, false},
      {home() + "/scratch.bin", 10, false},
      {"/../../../escaped.txt", 10, false},  // ".." stops at the root, which is not writable
  };
  for (const auto& c : cases) {
    dir_.write("up.bin", random_bytes(c.size));
    auto up = curl({url(c.path), "--user", login(), "-T", (dir_ / "up.bin").string()});
    EXPECT_EQ(up.exit_code == 0, c.written) << c.path << " " << c.size << ": " << up.output;
  }
  EXPECT_EQ(read_file(local(stored)).size(), 1000u);
  EXPECT_FALSE(std::filesystem::exists(local("1514764800000000006:never.reserved")));
  EXPECT_FALSE(std::filesystem::exists(net_.root(0) / "escaped.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir_.path().parent_path() / "escaped.txt"));
  // Once registered, the copy can no longer be changed.
  ASSERT_NE(net_.request(0, "OP=listfiles&SUB=add&FN=" + stored + "&ID=" + id +
                                "&UID32=u&ORG=0&PORT=1&DISK=accounts&").find("STATUS=done&"),
            std::string::npos);
  dir_.write("up.bin", random_bytes(1000, 7));
  EXPECT_NE(curl({url(remote(stored)), "--user", login(), "-T", (dir_ / "up.bin").string()}).exit_code, 0);
  EXPECT_TRUE(read_file(local(stored)) == random_bytes(1000));
}

TEST_F(NodeSftp, RefusesAWrongPasswordAMissingDirectoryAndTheWayOut) {
  dir_.write("up.bin", "x");
  const std::string up = (dir_ / "up.bin").string();
  EXPECT_EQ(curl({url("/home/x"), "--user", net_.user(0) + ":wrong", "-T", up}).exit_code, 67);
  EXPECT_NE(curl({url(home() + "/no/such/dir/f"), "--user", login(), "-T", up}).exit_code, 0);
  EXPECT_NE(curl({url("/../../etc/passwd"), "--user", login(), "-o", (dir_ / "p").string()}).exit_code, 0);
  // The node's private state is not served.
  EXPECT_NE(curl({url("/private/reservations.q"), "--user", login(), "-o", (dir_ / "r").string()}).exit_code, 0);
  // Nor is anything behind a symbolic link.
  std::filesystem::create_symlink("/etc", net_.root(0) / "link");
  EXPECT_NE(curl({url("/link/passwd"), "--user", login(), "-o", (dir_ / "l").string()}).exit_code, 0);
}

TEST_F(NodeSftp, OpenSshClientPutsGetsListsRenamesAndRemovesReservedNames) {
  const std::string content = random_bytes(300000);
  dir_.write("put.bin", content);
  const std::string a = "1514764800000000005:a.bin", b = "1514764800000000005:b.bin";
  reserve(a, content.size());
  reserve(b, content.size());
  auto r = sftp("put " + (dir_ / "put.bin").string() + " " + remote(a) + "\n" +
                "rename " + remote(a) + " " + remote(b) + "\n" +
                "get " + remote(b) + " " + (dir_ / "got.bin").string() + "\n" +
                "ls " + home() + account_path + "\n" + "rm " + remote(b) + "\n");
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_TRUE(dir_.read("got.bin") == content);
  EXPECT_NE(r.output.find(remote(b)), std::string::npos) << r.output;
  EXPECT_FALSE(std::filesystem::exists(local(b)));
}

// Each hostile operation fails, and afterwards the node is up with its lists,
// its data and its free space as they were.
TEST_F(NodeSftp, HostileOperationsChangeNothing) {
  net_.store_copy(0, id, "accounts", stored, "registered data", "u", 0);
  reserve("1514764800000000009:open.bin", 100);
  const std::string list_before = read_file(local("files_list.q"));
  const std::string space_before = net_.request(0, "OP=currentspace&");
  dir_.write("evil", "STATUS=forged&\n");
  const std::string evil = (dir_ / "evil").string();
  const std::string account = home() + account_path;
  const std::string top = "/home/" + net_.user(0) + "/MORBS-SYSTEM";
  const std::string operations[] = {
      "put " + evil + " " + account + "files_list.q",
      "put " + evil + " " + account + "archive_list.q",
      "put " + evil + " " + account + stored,
      "ln " + account + "files_list.q " + account + "1514764800000000009:open.bin",
      "ln " + account + "files_list.q " + account + "1514764800000000010:link",
      "ln -s " + account + "files_list.q " + account + "1514764800000000011:sym",
      "rename " + account + "files_list.q " + account + "1514764800000000009:open.bin",
      "rename " + account + "1514764800000000009:open.bin " + account + "files_list.q",
      "rename /home /moved",
      "rename " + top + " " + home() + "/moved",
      "rm " + account + "files_list.q",
      "rm " + account + stored,
      "rmdir " + account,
      "mkdir " + account + "sub",
      "chmod 777 " + account + "files_list.q",
      "put " + evil + " /private/reservations.q",
  };
  for (const auto& op : operations) {
    auto r = sftp(op + "\n");
    EXPECT_NE(r.exit_code, 0) << op << ": " << r.output;
  }
  EXPECT_EQ(read_file(local("files_list.q")), list_before);
  EXPECT_EQ(read_file(local(stored)), "registered data");
  EXPECT_TRUE(std::filesystem::is_directory(net_.root(0) / "home" / net_.user(0) / "MORBS-SYSTEM"));
  EXPECT_EQ(std::filesystem::hard_link_count(local("files_list.q")), 1u);
  EXPECT_EQ(net_.request(0, "OP=currentspace&"), space_before);
  EXPECT_NE(read_file(net_.root(0) / "private" / "reservations.q").find("open.bin"), std::string::npos);
}

}  // namespace
}  // namespace morbs::e2e
