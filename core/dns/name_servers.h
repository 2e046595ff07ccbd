// The name-server table: the servers configured on the machine, one address
// per entry, in the order they were found. Only the first is asked.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/report/reporter.h"

namespace morbs {

inline constexpr size_t dns_servers_limit = 10;
inline constexpr size_t dns_server_text_limit = 99;

// Splits configured values at every "," or blank into one entry per server.
// Empty pieces, pieces over 99 characters and IPv6 texts (which the query
// socket cannot reach) are skipped; entries beyond the tenth are dropped.
std::vector<std::string> split_name_servers(const std::vector<std::string>& values);

// The table from the "nameserver" lines of `resolv_conf_path`, each entry
// said as "\n%d) %s": the listing shows whenever a host name is resolved.
std::vector<std::string> RetrieveDnsServersFromRegistry(const std::string& resolv_conf_path,
                                                        Reporter& reporter);

}  // namespace morbs
