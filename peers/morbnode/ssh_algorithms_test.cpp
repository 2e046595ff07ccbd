// The lists a node may be told to offer in place of its own: secure names
// only, each one known, none empty.
#include <gtest/gtest.h>

#include "peers/morbnode/options.h"
#include "peers/morbnode/ssh_algorithms.h"

namespace morbs::node {
namespace {

TEST(SshAlgorithms, OnlySecureKnownNamesMayBeOffered) {
  const struct {
    const char* option;
    const char* list;
    bool taken;
  } cases[] = {
      {"--sftp-ciphers", "aes256-ctr", true},
      {"--sftp-ciphers", "chacha20-poly1305@openssh.com,aes128-gcm@openssh.com", true},
      {"--sftp-ciphers", "aes128-cbc", false},
      {"--sftp-ciphers", "3des-cbc", false},
      {"--sftp-ciphers", "aes128-ctr,", false},
      {"--sftp-ciphers", "aes128-ctr,,aes256-ctr", false},
      {"--sftp-ciphers", "", false},
      {"--sftp-ciphers", "hmac-sha2-256", false},
      {"--sftp-macs", "hmac-sha2-512", true},
      {"--sftp-macs", "hmac-sha2-256-etm@openssh.com,hmac-sha2-256", true},
      {"--sftp-macs", "hmac-sha1", false},
      {"--sftp-macs", "hmac-md5", false},
      {"--sftp-macs", "aes128-ctr", false},
  };
  for (const auto& c : cases) {
    std::string error;
    const auto options = parse_options({"--root", "/tmp/x", c.option, c.list}, error);
    EXPECT_EQ(options.has_value(), c.taken) << c.option << " " << c.list;
    if (!options) continue;
    const SshAlgorithms& offered = options->ssh_algorithms;
    EXPECT_EQ(std::string(c.option) == "--sftp-ciphers" ? offered.ciphers : offered.macs, c.list);
  }
}

}  // namespace
}  // namespace morbs::node
