#include "core/dns/dns.h"

#include "core/dns/dns_query.h"
#include "core/dns/name_servers.h"
#include "core/wire/query_string.h"

namespace morbs {

int dns(std::string_view name, std::string& out, const DnsOptions& options) {
  if (check_string(name) == 0) {
    out.assign(name);
    return 1;
  }
  std::vector<std::string> dns_servers = RetrieveDnsServersFromRegistry(options.resolv_conf_path);
  const std::string& server = dns_servers.empty() ? options.fallback_server : dns_servers[0];

  std::string address;
  std::string alias;
  int result = ngethostbyname(name, server, options, address, alias);
  // One alias is followed; "null" means there was none (or no reply at all).
  if (result == 0 && alias != empty_slot) {
    std::string target = alias;  // the query overwrites its outputs first
    result = ngethostbyname(target, server, options, address, alias);
  }
  out = result == 1 ? address : std::string(empty_slot);
  return result == 1 ? 1 : 0;
}

}  // namespace morbs
