#include "peers/morbnode/ssh_algorithms.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace morbs::node {

namespace {

constexpr std::array<std::string_view, 6> known_ciphers = {
    "aes128-gcm@openssh.com", "aes256-gcm@openssh.com", "chacha20-poly1305@openssh.com",
    "aes128-ctr", "aes192-ctr", "aes256-ctr"};
constexpr std::array<std::string_view, 4> known_macs = {
    "hmac-sha2-256-etm@openssh.com", "hmac-sha2-256", "hmac-sha2-512-etm@openssh.com", "hmac-sha2-512"};

template <size_t N>
std::optional<std::string> only_known(const std::string& list, const std::array<std::string_view, N>& known) {
  if (list.empty()) return std::nullopt;
  std::string_view rest = list;
  for (;;) {
    const size_t comma = rest.find(',');
    const std::string_view name = rest.substr(0, comma);
    if (std::find(known.begin(), known.end(), name) == known.end()) return std::nullopt;
    if (comma == std::string_view::npos) return list;
    rest.remove_prefix(comma + 1);
  }
}

}  // namespace

std::optional<std::string> secure_ciphers(const std::string& list) { return only_known(list, known_ciphers); }
std::optional<std::string> secure_macs(const std::string& list) { return only_known(list, known_macs); }

}  // namespace morbs::node
