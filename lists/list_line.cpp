#include "lists/list_line.h"

#include <cstdio>
#include <fstream>

#include "core/wire/query_string.h"
#include "lists/stored_name.h"

namespace morbs {

bool next_list_line(std::istream& in, std::string& line) {
  return static_cast<bool>(std::getline(in, line));
}

bool read_all_lines(const std::string& path, std::vector<std::string>& lines) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string line;
  while (next_list_line(in, line)) lines.push_back(line);
  return true;
}

bool write_all_lines(const std::string& path, const std::vector<std::string>& lines) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  for (const std::string& line : lines) out << line << '\n';
  out.close();
  return static_cast<bool>(out);
}

bool refused_as_too_long(std::string_view path, long number, std::string_view line) {
  if (line.size() <= list_line_limit) return false;
  std::printf("Error: line %ld of %.*s has %zu characters (at most %zu), refused\n", number,
              static_cast<int>(path.size()), path.data(), line.size(), list_line_limit);
  return true;
}

std::string field_of(std::string_view line, std::string_view key) {
  std::string value;
  select_value(line, key, value);
  return value;
}

}  // namespace morbs
