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

#if defined(__has_include) && __has_include(<sanitizer/lsan_interface.h>) && defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define MORBS_LEAK_CHECKS 1
#else
#define MORBS_LEAK_CHECKS 0
#endif

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

  // The client library keeps the attributes it fetched to open a file for
  // appending: not the node's leak, so not reported.
  sftp_file open_to_append(const std::string& path) {
#if MORBS_LEAK_CHECKS
    __lsan_disable();
#endif
    sftp_file file = sftp_open(sftp_, path.c_str(), O_WRONLY | O_APPEND, 0644);
#if MORBS_LEAK_CHECKS
    __lsan_enable();
#endif
    return file;
  }

  fs::path dir_ = make_dir();
  Options options_ = make_options(dir_);
  NodeStore store_{options_};
  NodeLog log_{options_.log_path};
  SftpService service_{options_, store_, log_, 8, 8};
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

// A handle opened to append writes at the file's end whatever offset the
// client names, and the reservation still bounds where that end may go.
TEST_F(SftpPolicy, AppendedWritesGoToTheEndWithinTheReservation) {
  const std::string path = client(stored());
  ASSERT_TRUE(write_at(path, 0, 40));
  sftp_file file = open_to_append(path);
  ASSERT_NE(file, nullptr);
  const struct {
    size_t size;
    bool taken;
    uint64_t size_after;
  } cases[] = {
      {30, true, 70},
      {30, true, 100},  // exactly up to the reserved size
      {1, false, 100},  // one past it
  };
  for (const auto& c : cases) {
    const std::string data(c.size, 'a');
    ASSERT_EQ(sftp_seek64(file, 0), 0);
    EXPECT_EQ(sftp_write(file, data.data(), data.size()) == static_cast<ssize_t>(c.size), c.taken) << c.size_after;
    EXPECT_EQ(fs::file_size(stored()), c.size_after);
  }
  sftp_close(file);
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

// What curl and rclone ask for is offered; a client that insists on what the
// node leaves out, slower or weak, cannot connect.
TEST_F(SftpPolicy, OffersTheCheapSecureAlgorithmsOnly) {
  const struct {
    const char* ciphers;
    const char* macs;
    const char* key_exchange;
    bool connects;
  } cases[] = {
      {"aes128-ctr", "hmac-sha2-256", "curve25519-sha256", true},  // curl's choice
      {"aes128-gcm@openssh.com", "hmac-sha2-256-etm@openssh.com", "curve25519-sha256", true},  // rclone's
      {"aes256-ctr", "hmac-sha2-256", "curve25519-sha256", false},
      {"chacha20-poly1305@openssh.com", "hmac-sha2-256", "curve25519-sha256", false},
      {"aes128-ctr", "hmac-sha1", "curve25519-sha256", false},
      {"aes128-ctr", "hmac-sha2-256", "diffie-hellman-group14-sha256", false},
  };
  for (const auto& c : cases) {
    ssh_session other = ssh_new();
    unsigned int port = static_cast<unsigned>(options_.sftp_port);
    bool no = false;
    ssh_options_set(other, SSH_OPTIONS_HOST, "127.0.0.1");
    ssh_options_set(other, SSH_OPTIONS_PORT, &port);
    ssh_options_set(other, SSH_OPTIONS_PROCESS_CONFIG, &no);
    ASSERT_EQ(ssh_options_set(other, SSH_OPTIONS_CIPHERS_C_S, c.ciphers), SSH_OK) << c.ciphers;
    ASSERT_EQ(ssh_options_set(other, SSH_OPTIONS_CIPHERS_S_C, c.ciphers), SSH_OK) << c.ciphers;
    ASSERT_EQ(ssh_options_set(other, SSH_OPTIONS_HMAC_C_S, c.macs), SSH_OK) << c.macs;
    ASSERT_EQ(ssh_options_set(other, SSH_OPTIONS_HMAC_S_C, c.macs), SSH_OK) << c.macs;
    ASSERT_EQ(ssh_options_set(other, SSH_OPTIONS_KEY_EXCHANGE, c.key_exchange), SSH_OK) << c.key_exchange;
    EXPECT_EQ(ssh_connect(other) == SSH_OK, c.connects) << c.ciphers << " " << c.macs << " " << c.key_exchange;
    ssh_disconnect(other);
    ssh_free(other);
  }
}

TEST_F(SftpPolicy, AStopWithASessionOpenEndsPromptly) {
  const auto start = std::chrono::steady_clock::now();
  stop_server();  // the client is still connected
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

}  // namespace
}  // namespace morbs::node
