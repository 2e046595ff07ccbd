// Comparing two digit strings that may be longer than a 64-bit number holds,
// such as the 19-digit time prefixes.
#pragma once

#include <string_view>

namespace morbs {

// 0 when the texts are identical; -1 when either is longer than 37
// characters; 1 when a is greater than b; 2 otherwise (a smaller, or equal in
// value but written differently). Both are split at half of a's length and
// the halves compared as numbers, so the order holds for texts of one
// length only.
int cmp_long_numbers(std::string_view a, std::string_view b);

}  // namespace morbs
