// The number a list line is sorted by: the time prefix of its FN value.
#pragma once

#include <cstdint>
#include <string_view>

namespace morbs {

// A decimal text read as strtoll reads it: blanks and a sign, then digits up
// to the first other character; no digits give 0, a value beyond the range
// is held at its end.
int64_t decimal_value(std::string_view text);

// The FN value up to its first ":" read as above; a line without FN reads
// the absent marker, i.e. 0.
int64_t prefix_value(std::string_view line);

}  // namespace morbs
