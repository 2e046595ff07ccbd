// Host names on the wire: the label form of a query name, and the names of a
// reply, which may be shortened by pointers to an earlier name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace morbs {

// Label form, length bytes and final zero included.
inline constexpr size_t dns_name_limit = 255;
inline constexpr size_t dns_label_limit = 63;

// Label form of `host` into `out`: ab.cde becomes 2 a b 3 c d e 0. One
// trailing "." is allowed (an absolute name). False, with `out` empty, for
// an empty name or label, a label over 63 bytes or a name over 255 bytes.
bool ChangetoDnsNameFormat(std::vector<uint8_t>& out, std::string_view host);

// The dotted name at `position` of the reply. `consumed` is what the name
// occupies there: up to its zero byte, or up to the second byte of its first
// pointer. Nothing for a name that runs past the reply, holds a pointer that
// does not lead back to an earlier name, uses a reserved label type or is
// longer than 255 bytes (`consumed` then 0).
std::optional<std::string> ReadName(std::span<const uint8_t> reply, size_t position,
                                    size_t& consumed);

}  // namespace morbs
