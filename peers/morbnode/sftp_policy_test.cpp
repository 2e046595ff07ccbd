// The SFTP write policy against a client that sends what the usual peers
// never would: writes far past the reservation, a size set to 1 TiB, links
// and renames of what holds the accounts. The service runs in this process,
// so its stop with a session still open is seen here too.
#include <gtest/gtest.h>

#include <libssh/libssh.h>
#include <libssh/sftp.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <thread>

#include "peers/morbnode/node_store.h"
#include "peers/morbnode/sftp_service.h"

namespace morbs::node {
namespace {

namespace fs = std::filesystem;

int free_port() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  close(fd);
  return ntohs(addr.sin_port);
}

const std::string id = "12345678903";
const std::string name = "1514764800000000005:report.pdf";

class SftpPolicy : public ::testing::Test {
 protected:
  static fs::path make_dir() {
    char pattern[] = "/tmp/morbs-policy-XXXXXX";
    return mkdtemp(pattern);
  }
  static Options make_options(const fs::path& dir) {
    Options o;
    o.root = dir.string();
    o.sftp_port = free_port();
    o.capacity_accounts = o.capacity_accounts1 = 1000;
    return o;
  }
  SftpPolicy() {
    std::string error;
    EXPECT_TRUE(store_.open(error)) << error;
    EXPECT_TRUE(store_.reserve({id, "accounts", name, 100, seconds_now()}));
    EXPECT_TRUE(service_.listen(error)) << error;
    server_ = std::thread([this] { service_.serve(stop_); });
    connect();
  }
  ~SftpPolicy() override {
    stop_server();
    if (sftp_) sftp_free(sftp_);
    if (ssh_) {
      ssh_disconnect(ssh_);
      ssh_free(ssh_);
    }
    fs::remove_all(dir_);
  }
  void connect() {
    ssh_ = ssh_new();
    unsigned int port = static_cast<unsigned>(options_.sftp_port);
    bool no = false;
    ssh_options_set(ssh_, SSH_OPTIONS_HOST, "127.0.0.1");
    ssh_options_set(ssh_, SSH_OPTIONS_PORT, &port);
    ssh_options_set(ssh_, SSH_OPTIONS_USER, options_.user.c_str());
    ssh_options_set(ssh_, SSH_OPTIONS_PROCESS_CONFIG, &no);
    ASSERT_EQ(ssh_connect(ssh_), SSH_OK) << ssh_get_error(ssh_);
    ASSERT_EQ(ssh_userauth_password(ssh_, nullptr, options_.password.c_str()), SSH_AUTH_SUCCESS);
    sftp_ = sftp_new(ssh_);
    ASSERT_NE(sftp_, nullptr);
    ASSERT_EQ(sftp_init(sftp_), SSH_OK);
  }
  void stop_server() {
    if (!server_.joinable()) return;
    stop_ = true;
    server_.join();
  }
  std::string client(const fs::path& local) const { return "/" + fs::relative(local, store_.root()).string(); }
  fs::path stored() const { return store_.account_dir(id, "accounts") / name; }
  int64_t free() {
    std::lock_guard<std::mutex> lock(store_.mutex());
    return store_.free_space("accounts");
  }
  // Writes `size` bytes at `offset` through a handle opened for writing; true when the node took them.
  bool write_at(const std::string& path, uint64_t offset, size_t size) {
    sftp_file file = sftp_open(sftp_, path.c_str(), O_WRONLY | O_CREAT, 0644);
    if (!file) return false;
    std::string data(size, 'w');
    bool ok = sftp_seek64(file, offset) == 0 &&
              sftp_write(file, data.data(), data.size()) == static_cast<ssize_t>(size);
    sftp_close(file);
    return ok;
  }

  fs::path dir_ = make_dir();
  Options options_ = make_options(dir_);
  NodeStore store_{options_};
  SftpService service_{options_, store_, 8, 8};
  std::atomic<bool> stop_{false};
  std::thread server_;
  ssh_session ssh_ = nullptr;
  sftp_session sftp_ = nullptr;
};

TEST_F(SftpPolicy, WritesStayWithinTheReservation) {
  const std::string path = client(stored());
  const struct {
    uint64_t offset;
    size_t size;
    bool taken;
  } cases[] = {
      {uint64_t{1} << 40, 1, false},  // one byte at 1 TiB once ate the area's free space
      {100, 1, false},                // just past the reserved 100 bytes
      {99, 2, false},
      {UINT64_MAX - 1, 4, false},     // an offset that wraps
      {0, 100, true},
      {99, 1, true},
  };
  for (const auto& c : cases) EXPECT_EQ(write_at(path, c.offset, c.size), c.taken) << c.offset << "+" << c.size;
  EXPECT_EQ(fs::file_size(stored()), 100u);
  EXPECT_EQ(free(), 900);
}

TEST_F(SftpPolicy, SizesLinksRenamesAndDirectoriesOutsideThePolicyAreRefused) {
  std::ofstream(store_.files_list(id, "accounts")) << "FN=" << name << "&CURR=locked&\n";
  const std::string list = client(store_.files_list(id, "accounts"));
  const std::string account = client(store_.account_dir(id, "accounts"));
  sftp_attributes_struct huge{};
  huge.flags = SSH_FILEXFER_ATTR_SIZE;
  huge.size = uint64_t{1} << 40;
  sftp_attributes_struct empty = huge;
  empty.size = 0;
  EXPECT_LT(sftp_setstat(sftp_, client(stored()).c_str(), &huge), 0);
  EXPECT_LT(sftp_setstat(sftp_, list.c_str(), &empty), 0);
  EXPECT_LT(sftp_symlink(sftp_, list.c_str(), client(stored()).c_str()), 0);
  EXPECT_LT(sftp_rename(sftp_, "/home", "/moved"), 0);
  EXPECT_LT(sftp_rename(sftp_, account.c_str(), (account + "x").c_str()), 0);
  EXPECT_LT(sftp_rename(sftp_, list.c_str(), client(stored()).c_str()), 0);
  EXPECT_LT(sftp_unlink(sftp_, list.c_str()), 0);
  EXPECT_LT(sftp_rmdir(sftp_, account.c_str()), 0);
  EXPECT_LT(sftp_mkdir(sftp_, "/home/new", 0755), 0);
  EXPECT_FALSE(write_at(list, 0, 10));
  EXPECT_FALSE(write_at("/private/reservations.q", 0, 10));
  // A reserved file may be cut back and given its times.
  EXPECT_TRUE(write_at(client(stored()), 0, 100));
  sftp_attributes_struct half = empty;
  half.size = 50;
  EXPECT_EQ(sftp_setstat(sftp_, client(stored()).c_str(), &half), 0);
  EXPECT_EQ(fs::file_size(stored()), 50u);

  std::ifstream in(store_.files_list(id, "accounts"));
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "FN=" + name + "&CURR=locked&");
  EXPECT_TRUE(fs::is_directory(store_.root() / "home"));
  EXPECT_EQ(free(), 900);
}

TEST_F(SftpPolicy, AStopWithASessionOpenEndsPromptly) {
  const auto start = std::chrono::steady_clock::now();
  stop_server();  // the client is still connected
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

}  // namespace
}  // namespace morbs::node
