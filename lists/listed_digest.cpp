#include "lists/listed_digest.h"


namespace morbs {

bool is_sha256_text(std::string_view text) {
  return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

namespace {

// Calls `each` with every field of the line, its closing "&" included.
template <typename Each>
void for_each_field(std::string_view line, Each each) {
  size_t start = 0;
  while (start < line.size()) {
    const size_t end = line.find('&', start);
    const size_t stop = end == std::string_view::npos ? line.size() : end + 1;
    each(line.substr(start, stop - start));
    start = stop;
  }
}

bool is_digest_field(std::string_view field) {
  return field.size() > listed_digest_key.size() && field.substr(0, listed_digest_key.size()) == listed_digest_key &&
         field[listed_digest_key.size()] == '=';
}

}  // namespace

std::optional<std::string> listed_digest(std::string_view line) {
  // Field by field, not by a search for "SHA=": a stored name that held
  // that text must never read as the copy's digest.
  std::optional<std::string> found;
  int fields = 0;
  for_each_field(line, [&](std::string_view field) {
    if (!is_digest_field(field)) return;
    ++fields;
    std::string_view value = field.substr(listed_digest_key.size() + 1);
    if (!value.empty() && value.back() == '&') value.remove_suffix(1);
    else value = {};  // an unclosed field is no field
    if (is_sha256_text(value)) found = std::string(value);
  });
  // Two of them say nothing we could trust.
  if (fields != 1) return std::nullopt;
  return found;
}

std::string without_listed_digest(std::string_view line) {
  std::string kept;
  for_each_field(line, [&](std::string_view field) {
    if (!is_digest_field(field)) kept.append(field);
  });
  return kept;
}

}  // namespace morbs
