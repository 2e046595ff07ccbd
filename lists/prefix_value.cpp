#include "lists/prefix_value.h"

#include <limits>

#include "core/wire/number_text.h"
#include "lists/list_line.h"
#include "lists/stored_name.h"

namespace morbs {

int64_t decimal_value(std::string_view text) {
  if (auto v = to_int64(text)) return *v;
  size_t first = text.find_first_not_of(" \t\n\v\f\r");
  bool negative = first != std::string_view::npos && text[first] == '-';
  return negative ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
}

int64_t prefix_value(std::string_view line) {
  return decimal_value(prefix_of(field_of(line, "FN")));
}

}  // namespace morbs
