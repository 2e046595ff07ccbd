#include "platform/resolv_conf.h"

#include <fstream>
#include <string_view>

#include "platform/regular_file.h"

namespace morbs::platform {

namespace {

constexpr std::string_view keyword = "nameserver";

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

std::string read_bounded(const std::string& path) {
  if (!is_regular_file(path)) return {};
  std::ifstream file(path, std::ios::binary);
  if (!file) return {};
  std::string content(resolv_conf_read_limit, '\0');
  file.read(content.data(), static_cast<std::streamsize>(content.size()));
  content.resize(static_cast<size_t>(file.gcount()));
  return content;
}

// The value of a "nameserver" line, or nothing for any other line.
bool name_server_value(std::string_view line, std::string& value) {
  if (!line.starts_with(keyword)) return false;
  line.remove_prefix(keyword.size());
  if (line.empty() || !is_blank(line.front())) return false;  // "nameservers" is another word
  value.assign(trimmed(line));
  return !value.empty();
}

}  // namespace

std::vector<std::string> read_name_server_values(const std::string& path) {
  std::string content = read_bounded(path);
  std::vector<std::string> values;
  std::string_view rest = content;
  while (!rest.empty()) {
    size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    std::string value;
    if (name_server_value(line, value)) values.push_back(std::move(value));
  }
  return values;
}

}  // namespace morbs::platform
