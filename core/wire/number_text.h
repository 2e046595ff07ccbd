// The C conversions of numbers in texts, without their undefined behaviour:
// optional blanks and sign, then digits up to the first other character.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace morbs {

// atoi/atol: no digits gives 0; a value beyond the range is held at its end.
int to_int(std::string_view text);
long to_long(std::string_view text);

// strtoll: nullopt on a range error; no digits gives 0.
std::optional<int64_t> to_int64(std::string_view text);

}  // namespace morbs
