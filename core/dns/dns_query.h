// One A query to one name server, and what its reply says.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/dns/dns.h"
#include "core/dns/dns_reply.h"
#include "core/report/reporter.h"

namespace morbs {

inline constexpr size_t dns_reply_limit = 65536;
inline constexpr uint16_t dns_flags_recursion_desired = 0x0100;

// The query datagram for `host`: header (ID `id`, recursion desired, one
// question) and the question (name, type A, class IN). Empty for a name
// that has no label form.
std::vector<uint8_t> build_query(std::string_view host, uint16_t id);

// Asks `server` (dotted IPv4) for the address of `host`: the address, an
// alias (its target in `alias`), nothing usable (both "null"; also for a
// reply that does not answer this query, answers_query), or no reply at all
// ("Failed. Error Code : %d" said, both "null").
DnsResult ngethostbyname(std::string_view host, const std::string& server, const DnsOptions& options,
                         Reporter& reporter, std::string& address, std::string& alias);

}  // namespace morbs
