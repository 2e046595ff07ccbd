// The values a request may use to name something on the node's disk. Each
// check keeps a value inside the account's directory.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace morbs::node {

// Areas are "accounts" and "accounts1"; their directories ACCOUNTS and ACCOUNTS1.
bool is_area(std::string_view area);

// 11 ASCII letters or digits; an all-digit id must pass the check digit. Dots
// or slashes would turn the id's directories into a way out of the area.
bool is_account_id(std::string_view id);

// One plain file name of the form prefix:fname[:postfix]: no "/", no control
// character, at most 255 bytes.
bool is_stored_name(std::string_view name);

// The largest size a reservation may ask for (1 PiB): sums of sizes stay far
// from the range of int64_t.
inline constexpr int64_t max_reserved_size = int64_t{1} << 50;

// A decimal size in 0..max_reserved_size, digits only.
std::optional<int64_t> parse_size(std::string_view text);

// a + b, held at the range's ends instead of overflowing.
int64_t saturating_add(int64_t a, int64_t b);

}  // namespace morbs::node
