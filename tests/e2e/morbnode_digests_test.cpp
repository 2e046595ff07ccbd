// The SHA-256 a node records of each stored file and tells in its chkfile
// reply: of the bytes as stored, whether they came in one go, resumed or
// rewritten, and none for a file not written in full.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <random>

#include "core/digest/sha256.h"
#include "core/wire/query_string.h"
#include "platform/process.h"
#include "tests/e2e/support/datanet.h"
#include "tests/e2e/support/temp_dir.h"

namespace morbs::e2e {
namespace {

const std::string id = "12345678903";
const std::string account_path = "/MORBS-SYSTEM/MORB1/ACCOUNTS/12/34/56/78/90/3/";

std::string random_bytes(size_t size, uint64_t seed) {
  std::mt19937_64 random(seed);
  std::string s(size, '\0');
  for (auto& c : s) c = static_cast<char>(random());
  return s;
}

std::string sha256_hex(const std::string& bytes) { return digest::to_hex(digest::sha256_of(bytes)); }

class NodeDigests : public ::testing::Test {
 protected:
  void start(const std::vector<std::string>& options = {}) {
    std::vector<std::string> all = {"--capacity", "100000000"};
    all.insert(all.end(), options.begin(), options.end());
    net_.emplace(dir_.path(), 1, std::vector<std::vector<std::string>>{all});
  }
  std::string remote(const std::string& name) const {
    return "sftp://127.0.0.1:" + std::to_string(net_->sftp_port(0)) + "/home/" + net_->user(0) + account_path + name;
  }
  void reserve(const std::string& name, size_t size) {
    const std::string reply = net_->request(0, "OP=resv&ID=" + id + "&DISK=accounts&FN=" + name + "&FSZ=" +
                                                   std::to_string(size) + "&");
    ASSERT_NE(reply.find("STATUS=done&"), std::string::npos) << reply;
  }
  // curl uploads `content` to the stored name, with further curl arguments.
  void upload(const std::string& name, const std::string& content, std::vector<std::string> extra = {}) {
    dir_.write("up.bin", content);
    std::vector<std::string> argv = {"curl", "-sS", "-k", "--user", net_->user(0) + ":" + net_->password(0),
                                     "-T", (dir_ / "up.bin").string()};
    argv.insert(argv.end(), extra.begin(), extra.end());
    argv.push_back(remote(name));
    platform::RunOptions options;
    options.merge_standard_error = true;
    options.timeout_ms = 60000;
    auto r = platform::run_process(argv, options).value_or(platform::RunResult{});
    ASSERT_EQ(r.exit_code, 0) << r.output;
  }
  std::string chkfile(const std::string& name) const {
    return net_->request(0, "OP=chkfile&ID=" + id + "&DISK=accounts&PFN=" + name + "&");
  }
  std::string stored(const std::string& name) const {
    return read_file(net_->account_dir(0, id, "accounts") / name);
  }

  TempDir dir_{"digests"};
  std::optional<DataNet> net_;
};

// The reply's SHA256 value, "" when it has none.
std::string digest_in(const std::string& reply) {
  std::string hex;
  return select_value(reply, "SHA256", hex) == 0 ? hex : "";
}

TEST_F(NodeDigests, RecordedOfEveryFileWrittenInFull) {
  start();
  const std::string content = random_bytes(300000, 1), other = random_bytes(300000, 2);
  struct Case {
    const char* what;
    size_t reserved;
    std::function<void(const std::string& name)> write;
    std::string digest;  // "" : none reported
  };
  const Case cases[] = {
      {"in one go", content.size(), [&](const std::string& n) { upload(n, content); }, sha256_hex(content)},
      {"resumed after half", content.size(),
       [&](const std::string& n) {
         upload(n, content.substr(0, 150000));
         upload(n, content, {"-C", "-"});
       },
       sha256_hex(content)},
      {"rewritten", content.size(),
       [&](const std::string& n) {
         upload(n, content);
         upload(n, other);
       },
       sha256_hex(other)},
      {"half only", content.size(), [&](const std::string& n) { upload(n, content.substr(0, 150000)); }, ""},
      {"empty", 0, [&](const std::string& n) { upload(n, ""); }, sha256_hex("")},
  };
  int number = 0;
  for (const auto& c : cases) {
    const std::string name = "1514764800000000005:f" + std::to_string(number++);
    reserve(name, c.reserved);
    c.write(name);
    const std::string reply = chkfile(name);
    EXPECT_EQ(reply.rfind("STATUS=done&FSIZE=", 0), 0u) << c.what << ": " << reply;
    EXPECT_EQ(digest_in(reply), c.digest) << c.what << ": " << reply;
    if (!c.digest.empty()) {
      EXPECT_EQ(sha256_hex(stored(name)), c.digest) << c.what;
    }
  }
}

TEST_F(NodeDigests, KeptWhereClientsCannotReachAndAsStored) {
  start();
  const std::string name = "1514764800000000005:kept.bin", content = random_bytes(100000, 3);
  reserve(name, content.size());
  upload(name, content);
  ASSERT_EQ(net_->request(0, "OP=listfiles&SUB=add&FN=" + name + "&ID=" + id + "&UID32=u&ORG=0&PORT=1&DISK=accounts&")
                .find("STATUS=done&"),
            0u);
  // A byte that rots on the node's disk: the digest still tells what was stored.
  std::string rotten = content;
  rotten[500] ^= 0x10;
  write_file(net_->account_dir(0, id, "accounts") / name, rotten);
  EXPECT_EQ(digest_in(chkfile(name)), sha256_hex(content));
  // The digest is the node's own: not served, not writable.
  platform::RunOptions options;
  options.merge_standard_error = true;
  options.timeout_ms = 30000;
  const std::string url = "sftp://127.0.0.1:" + std::to_string(net_->sftp_port(0)) +
                          "/private/digests/" + id + "/accounts/" + name;
  for (const auto& transfer : {std::vector<std::string>{"-o", (dir_ / "got").string()},
                               std::vector<std::string>{"-T", (dir_ / "up.bin").string()}}) {
    std::vector<std::string> argv = {"curl", "-sS", "-k", "--user", net_->user(0) + ":" + net_->password(0)};
    argv.insert(argv.end(), transfer.begin(), transfer.end());
    argv.push_back(url);
    EXPECT_NE(platform::run_process(argv, options).value_or(platform::RunResult{}).exit_code, 0) << transfer[0];
  }
  // Deleted, the copy has no digest left behind.
  net_->request(0, "OP=listfiles&SUB=chg&DISK=accounts&FN=" + name + "&ID=" + id + "&CURRNEW=delete&");
  EXPECT_FALSE(std::filesystem::exists(net_->root(0) / "private" / "digests" / id / "accounts" / name));
}

TEST_F(NodeDigests, FaultSwitches) {
  struct Case {
    std::string option;
    bool stored_as_sent, digest_reported;
  };
  const Case cases[] = {
      {"--no-digest", true, false},
      {"--corrupt-uploads", false, true},  // the digest is of the bytes stored
  };
  const std::string content = random_bytes(200000, 4);
  for (const auto& c : cases) {
    start({c.option});
    const std::string name = "1514764800000000005:" + c.option.substr(2);
    reserve(name, content.size());
    upload(name, content);
    const std::string bytes = stored(name);
    ASSERT_EQ(bytes.size(), content.size()) << c.option;
    EXPECT_EQ(bytes == content, c.stored_as_sent) << c.option;
    EXPECT_EQ(digest_in(chkfile(name)), c.digest_reported ? sha256_hex(bytes) : "") << c.option;
    net_.reset();
  }
}

}  // namespace
}  // namespace morbs::e2e
