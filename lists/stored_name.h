// The stored file name "prefix:fname" (whole file) or "prefix:fname:postfix"
// (one part of a split file), and the bounds of a list line.
#pragma once

#include <cstddef>
#include <string_view>

namespace morbs {

// A list line holds at most this many characters before its line end.
inline constexpr size_t list_line_limit = 1022;

// The colon count tells a whole file (1) from a part (2).
size_t colon_count(std::string_view stored_name);

inline bool is_whole_file(std::string_view stored_name) { return colon_count(stored_name) == 1; }
inline bool is_part(std::string_view stored_name) { return colon_count(stored_name) == 2; }

// The text after the last colon: the part number of a part.
std::string_view postfix_of(std::string_view stored_name);

// The time prefix without its colon.
std::string_view prefix_of(std::string_view stored_name);

}  // namespace morbs
