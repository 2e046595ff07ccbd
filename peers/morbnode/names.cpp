#include "peers/morbnode/names.h"

#include <algorithm>
#include <limits>

#include "core/session/account.h"
#include "peers/morbnode/request_fields.h"

namespace morbs::node {

bool is_area(std::string_view area) { return area == "accounts" || area == "accounts1"; }

bool is_account_id(std::string_view id) {
  const bool plain = std::all_of(id.begin(), id.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  });
  return id.size() == account_id_length && plain && check_PESEL(id, 0) == 1;
}

bool is_stored_name(std::string_view name) {
  return !name.empty() && name.size() <= 255 && name.find(':') != std::string_view::npos &&
         name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos &&
         !has_control(name);
}

std::optional<int64_t> parse_size(std::string_view text) {
  if (text.empty() || text.size() > 16) return std::nullopt;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > max_reserved_size) return std::nullopt;
  return value;
}

int64_t saturating_add(int64_t a, int64_t b) {
  int64_t sum = 0;
  if (!__builtin_add_overflow(a, b, &sum)) return sum;
  return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}

}  // namespace morbs::node
