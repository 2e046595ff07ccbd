// The lines of the list whose stored name holds the pattern, in file order.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/report/reporter.h"

namespace morbs::erasebox {

struct MatchEntry {
  std::string id;
  std::string stored_name;
  int port = 0;
  std::string area;
  std::string flag;
  std::string uid32;
};

// Widths of the entry fields; a line with a longer value is refused, as is a
// line whose ID holds a path or field character or whose PORT is outside
// 1..65535 (an absent PORT included).
inline constexpr size_t id_limit = 14;
inline constexpr size_t stored_name_limit = 256;
inline constexpr size_t area_limit = 19;
inline constexpr size_t flag_limit = 9;
inline constexpr size_t uid32_limit = 41;

struct MatchResult {
  std::vector<MatchEntry> entries;  // every matching line: no fixed count
  int refused_lines = 0;            // matching lines refused, nothing sent for them
};

// False when the list cannot be opened or is no regular file. Refused lines
// are told as details with the reason.
bool read_matches(const std::string& list_path, std::string_view pattern, Reporter& reporter,
                  MatchResult& result);

}  // namespace morbs::erasebox
