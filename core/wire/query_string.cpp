#include "core/wire/query_string.h"

namespace morbs {

std::string_view until_nul(std::string_view block) {
  size_t end = block.find('\0');
  return end == std::string_view::npos ? block : block.substr(0, end);
}

int select_value(std::string_view text, std::string_view key, std::string& out) {
  text = until_nul(text);
  out = absent;
  if (text.size() < 4) return -1;
  std::string pattern(key);
  pattern += '=';
  size_t start = text.find(pattern);
  if (start == std::string_view::npos) return -1;
  size_t end = text.find('&', start);
  if (end == std::string_view::npos) return -1;
  size_t value_start = start + pattern.size();
  if (end < value_start) return -1;  // the "&" lies inside the key itself
  out.assign(text.substr(value_start, end - value_start));
  return 0;
}

int check_string(std::string_view text) {
  for (char c : text)
    if (!((c >= '0' && c <= '9') || c == '.')) return 1;
  return 0;
}

}  // namespace morbs
