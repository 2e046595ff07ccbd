// A small DNS client of the system's own: the node address in client.config
// may be a host name, resolved through the machine's first name server.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace morbs {

// Where the name servers come from and how long a reply may take. Tests point
// these at a name server of their own on loopback.
struct DnsOptions {
  std::string resolv_conf_path = "/etc/resolv.conf";
  uint16_t port = 53;
  std::string fallback_server = "9.9.9.9";
  long reply_wait_ms = 3000;
};

// 1 with the dotted IPv4 address in `out`; 0 with "null". A text of digits
// and dots only is taken as it stands, without a query.
int dns(std::string_view name, std::string& out, const DnsOptions& options = {});

}  // namespace morbs
