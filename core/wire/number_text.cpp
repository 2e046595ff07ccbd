#include "core/wire/number_text.h"

#include <limits>

namespace morbs {

namespace {

bool is_blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The value and whether it overflowed 64 bits.
std::optional<int64_t> parse(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && is_blank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint64_t magnitude = 0;
  const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    uint64_t digit = static_cast<uint64_t>(text[i] - '0');
    if (magnitude > (limit - digit) / 10) return std::nullopt;
    magnitude = magnitude * 10 + digit;
  }
  if (negative) return magnitude == (uint64_t{1} << 63) ? std::numeric_limits<int64_t>::min()
                                                       : -static_cast<int64_t>(magnitude);
  return static_cast<int64_t>(magnitude);
}

template <typename T>
T clamp_to(std::string_view text) {
  auto v = parse(text);
  if (!v) {
    size_t first = 0;
    while (first < text.size() && is_blank(text[first])) ++first;
    bool negative = first < text.size() && text[first] == '-';
    return negative ? std::numeric_limits<T>::min() : std::numeric_limits<T>::max();
  }
  if (*v > std::numeric_limits<T>::max()) return std::numeric_limits<T>::max();
  if (*v < std::numeric_limits<T>::min()) return std::numeric_limits<T>::min();
  return static_cast<T>(*v);
}

}  // namespace

int to_int(std::string_view text) { return clamp_to<int>(text); }
long to_long(std::string_view text) { return clamp_to<long>(text); }
std::optional<int64_t> to_int64(std::string_view text) { return parse(text); }

}  // namespace morbs
