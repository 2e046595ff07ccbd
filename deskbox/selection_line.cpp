#include "deskbox/selection_line.h"

#include <algorithm>

namespace morbs::deskbox {

std::optional<StoredSelection> parse_selection_line(std::string_view line) {
  if (size_t end = line.find_first_of("\r\n"); end != std::string_view::npos) line = line.substr(0, end);
  const size_t colon = line.rfind(':');
  if (colon == std::string_view::npos || colon < time_prefix_length) return std::nullopt;
  std::string_view prefix = line.substr(colon - time_prefix_length, time_prefix_length);
  // The colons of the time of day are no stored name.
  if (!std::all_of(prefix.begin(), prefix.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  std::string_view stored = line.substr(colon - time_prefix_length);
  std::string_view name = line.substr(colon + 1);
  if (name.empty() || stored.size() > stored_name_limit) return std::nullopt;
  if (name == "." || name == ".." || name.find('/') != std::string_view::npos) return std::nullopt;
  return StoredSelection{std::string(stored), std::string(name)};
}

}  // namespace morbs::deskbox
