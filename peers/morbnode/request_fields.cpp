#include "peers/morbnode/request_fields.h"

#include <algorithm>

namespace morbs::node {

namespace {

bool is_key(std::string_view key) {
  return !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  });
}

}  // namespace

bool has_control(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7f;
  });
}

std::optional<Fields> Fields::parse(std::string_view text) {
  if (text.empty() || text.back() != '&' || has_control(text)) return std::nullopt;
  Fields fields;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('&', start);
    const std::string_view pair = text.substr(start, end - start);
    const size_t equals = pair.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const std::string_view key = pair.substr(0, equals);
    if (!is_key(key) || fields.has(key)) return std::nullopt;
    fields.pairs_.emplace_back(std::string(key), std::string(pair.substr(equals + 1)));
    start = end + 1;
  }
  return fields;
}

const std::string& Fields::get(std::string_view key) const {
  static const std::string none;
  for (const auto& [k, v] : pairs_)
    if (k == key) return v;
  return none;
}

bool Fields::has(std::string_view key) const {
  return std::any_of(pairs_.begin(), pairs_.end(), [&](const auto& p) { return p.first == key; });
}

}  // namespace morbs::node
