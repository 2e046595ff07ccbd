// The SSH algorithms the node's SFTP service offers. A client takes the first
// of its own list that the node offers, so the offer decides only what a
// client may fall back to: it holds what costs the node least per byte of
// the clients it serves (curl: aes128-ctr with hmac-sha2-256; rclone:
// aes128-gcm, whose tag makes a MAC needless) and nothing weak or slow.
#pragma once

#include <optional>
#include <string>

namespace morbs::node {

struct SshAlgorithms {
  std::string key_exchange = "curve25519-sha256,curve25519-sha256@libssh.org";
  std::string ciphers = "aes128-gcm@openssh.com,aes128-ctr";
  std::string macs = "hmac-sha2-256-etm@openssh.com,hmac-sha2-256";
};

// A comma-separated list of ciphers (or MACs) offered in place of the usual
// ones, to measure what another costs: nullopt unless every name is a secure
// one the node knows.
std::optional<std::string> secure_ciphers(const std::string& list);
std::optional<std::string> secure_macs(const std::string& list);

}  // namespace morbs::node
