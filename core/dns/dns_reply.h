// Reading a name server's reply to one A query: the record walk over the
// answer, authority and additional sections, each read checked against the
// datagram.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace morbs {

inline constexpr size_t dns_header_size = 12;
inline constexpr uint16_t dns_type_a = 1;
inline constexpr uint16_t dns_type_cname = 5;

// What a lookup gave.
enum class DnsResult {
  address,   // `address` holds the dotted IPv4 address
  alias,     // the last answer was an alias, whose target is in `alias`
  nothing,   // no usable answer
  no_reply,  // no reply came at all
};

struct DnsAnswer {
  DnsResult result = DnsResult::nothing;
  std::string address = "null";
  std::string alias = "null";
};

// True when `reply` answers `query`: the same ID, marked as a response, the
// same single question (the name compared regardless of case, which name
// servers may change) and RCODE 0. Any other datagram, a stray or forged one
// or a name error, tells nothing about the address.
bool answers_query(std::span<const uint8_t> reply, std::span<const uint8_t> query);

// The answer of `reply`, whose question takes `question_size` bytes after the
// header (the query's own name in label form, plus type and class). A reply
// that is cut short, claims more records than it holds, or holds a name that
// cannot be read is refused as a whole: nothing.
DnsAnswer read_reply(std::span<const uint8_t> reply, size_t question_size);

}  // namespace morbs
