// The display form of a list line's DATE.
#pragma once

#include <string>
#include <string_view>

namespace morbs {

// "YYYY-MM-DD  hh:mm:ss" from "YYYYMMDD?hh:mm:ss": characters 1-4, "-",
// 5-6, "-", 7-8, two blanks, 10-17; character 9 and anything after 17 are
// dropped. A shorter DATE is shown as far as it goes: each piece holds what
// is there, and a piece with nothing in it is left out with its separator
// ("201803" gives "2018-03", "NULL" stays "NULL").
std::string formatting_date(std::string_view date);

}  // namespace morbs
