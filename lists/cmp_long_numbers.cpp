#include "lists/cmp_long_numbers.h"

#include "lists/prefix_value.h"

namespace morbs {

namespace {
constexpr size_t digits_limit = 37;

// The piece of `text` from `from` on, empty past its end.
std::string_view tail(std::string_view text, size_t from) {
  return from < text.size() ? text.substr(from) : std::string_view{};
}
}  // namespace

int cmp_long_numbers(std::string_view a, std::string_view b) {
  if (a == b) return 0;
  if (a.size() > digits_limit || b.size() > digits_limit) return -1;
  size_t half = a.size() / 2;
  int64_t a_lead = decimal_value(a.substr(0, half));
  int64_t b_lead = decimal_value(b.substr(0, half));
  int64_t a_rest = decimal_value(tail(a, half));
  int64_t b_rest = decimal_value(tail(b, half));
  if (a_lead > b_lead) return 1;
  if (a_lead == b_lead && a_rest > b_rest) return 1;
  return 2;
}

}  // namespace morbs
