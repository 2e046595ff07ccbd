#include "lists/stored_name.h"

#include <algorithm>

namespace morbs {

size_t colon_count(std::string_view stored_name) {
  return static_cast<size_t>(std::count(stored_name.begin(), stored_name.end(), ':'));
}

std::string_view postfix_of(std::string_view stored_name) {
  size_t last = stored_name.rfind(':');
  return last == std::string_view::npos ? std::string_view{} : stored_name.substr(last + 1);
}

std::string_view prefix_of(std::string_view stored_name) {
  return stored_name.substr(0, stored_name.find(':'));
}

}  // namespace morbs
