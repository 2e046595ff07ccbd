// The one record format of the system: KEY=value fields, each closed by "&".
#pragma once

#include <string>
#include <string_view>

namespace morbs {

// The marker a failed lookup yields.
inline constexpr std::string_view absent = "NULL";
// The marker of an empty slot, a silent node or a refusal.
inline constexpr std::string_view empty_slot = "null";

// Copies the value of KEY into `out`: 0 when found, else -1 with "NULL".
// The search is a plain substring search for "KEY=", so a key also matches at
// the tail of a longer key; the first occurrence counts. `text` ends at its
// first NUL, as the text of a message block does.
int select_value(std::string_view text, std::string_view key, std::string& out);

// 0 when the text holds only decimal digits and dots (the empty text too).
int check_string(std::string_view text);

// The text up to its first NUL: the readable part of a plain block.
std::string_view until_nul(std::string_view block);

}  // namespace morbs
