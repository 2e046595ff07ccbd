// A small DNS client of the system's own: the node address in client.config
// may be a host name, resolved through the machine's first name server.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/report/reporter.h"
#include "core/status.h"

namespace morbs {

// Where the name servers come from and how long a reply may take. Tests point
// these at a name server of their own on loopback.
struct DnsOptions {
  std::string resolv_conf_path = "/etc/resolv.conf";
  uint16_t port = 53;
  std::string fallback_server = "9.9.9.9";
  long reply_wait_ms = 3000;
};

// The dotted IPv4 address, or why there is none. A text of digits and dots
// only is taken as it stands, without a query. The name-server listing and a
// failed receive are said on `reporter`, whatever TEST says.
Result<std::string> dns(std::string_view name, Reporter& reporter, const DnsOptions& options = {});

}  // namespace morbs
