#include "core/dns/dns.h"

#include "core/dns/dns_query.h"
#include "core/dns/name_servers.h"
#include "core/wire/query_string.h"

namespace morbs {

Result<std::string> dns(std::string_view name, Reporter& reporter, const DnsOptions& options) {
  if (check_string(name) == 0) return std::string(name);
  std::vector<std::string> dns_servers =
      RetrieveDnsServersFromRegistry(options.resolv_conf_path, reporter);
  const std::string& server = dns_servers.empty() ? options.fallback_server : dns_servers[0];

  std::string address;
  std::string alias;
  DnsResult result = ngethostbyname(name, server, options, reporter, address, alias);
  // One alias is followed.
  if (result == DnsResult::alias && alias != empty_slot) {
    std::string target = alias;  // the query overwrites its outputs first
    result = ngethostbyname(target, server, options, reporter, address, alias);
  }
  if (result != DnsResult::address) return Status::failure("no address for the name");
  return address;
}

}  // namespace morbs
