// The lines of the list whose stored name holds the pattern, in file order.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace morbs::erasebox {

struct MatchEntry {
  std::string id;
  std::string stored_name;
  int port = 0;
  std::string area;
  std::string flag;
  std::string uid32;
};

// Widths of the entry fields; a line with a longer value is refused.
inline constexpr size_t id_limit = 14;
inline constexpr size_t stored_name_limit = 256;
inline constexpr size_t area_limit = 19;
inline constexpr size_t flag_limit = 9;
inline constexpr size_t uid32_limit = 41;

struct MatchResult {
  std::vector<MatchEntry> entries;  // every matching line: no fixed count
  int refused_lines = 0;            // matching lines with a value too long
};

// nullopt-like: false when the list cannot be opened. Refused lines are
// reported (diagnostics on) with the field that is too long.
bool read_matches(const std::string& list_path, std::string_view pattern, int diagnostics,
                  MatchResult& result);

}  // namespace morbs::erasebox
