// A line promptwin chose from the shown list: "DATE  FN", where FN ends in
// the stored name "<19-digit time prefix>:<name>".
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace morbs::deskbox {

inline constexpr size_t time_prefix_length = 19;
// The stored name and the user's name each fit 255 characters.
inline constexpr size_t stored_name_limit = 255;
// Lines of the shown list and of the selection.
inline constexpr size_t selection_line_limit = 52223;

struct StoredSelection {
  std::string stored_name;  // "1514764800000000005:report.pdf"
  std::string user_name;    // "report.pdf"
};

// nullopt when the line holds no stored name: no colon, fewer than 19 digits
// before the last one, or a name that is empty, too long, or could leave the
// download directory ("/", "." or "..").
std::optional<StoredSelection> parse_selection_line(std::string_view line);

}  // namespace morbs::deskbox
