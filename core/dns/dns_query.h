// One A query to one name server, and what its reply says.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/dns/dns.h"
#include "core/report/reporter.h"

namespace morbs {

inline constexpr size_t dns_reply_limit = 65536;
inline constexpr uint16_t dns_flags_recursion_desired = 0x0100;

// The query datagram for `host`: header (ID `id`, recursion desired, one
// question) and the question (name, type A, class IN). Empty for a name
// that has no label form.
std::vector<uint8_t> build_query(std::string_view host, uint16_t id);

// Asks `server` (dotted IPv4) for the address of `host`. 1: the address is in
// `address`; 0: the last answer was an alias, its target in `alias`, or no
// reply came ("Failed. Error Code : %d" said, `alias` "null"); -1: no
// usable answer (both "null"), also when the reply does not answer this query
// (answers_query).
int ngethostbyname(std::string_view host, const std::string& server, const DnsOptions& options,
                   Reporter& reporter, std::string& address, std::string& alias);

}  // namespace morbs
