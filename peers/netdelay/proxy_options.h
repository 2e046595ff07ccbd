// What one forwarding proxy does: which loopback ports it forwards where, and
// the shape of the link it stands for.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace morbs::netdelay {

struct Forward {
  int listen_port = 0;
  int target_port = 0;
};

struct ProxyOptions {
  std::vector<Forward> forwards;
  long delay_ms = 0;                 // each way
  std::optional<double> rate_mbit;   // each way, all connections together; none: no limit
  bool handshake = false;            // a new connection costs a round trip, as over TCP
  size_t buffer_bytes = 4096 * 1024; // per connection and direction
};

// nullopt with the reason in `error`.
std::optional<ProxyOptions> parse_proxy_options(const std::vector<std::string>& args,
                                                std::string& error);

extern const char* const proxy_usage_text;

}  // namespace morbs::netdelay
