#include "erasebox/match_table.h"

#include <cstdio>
#include <fstream>

#include "core/number_text.h"
#include "core/query_string.h"
#include "lists/stored_name.h"

namespace morbs::erasebox {

namespace {

struct Field {
  const char* key;
  std::string MatchEntry::*member;
  size_t limit;
};

const Field text_fields[] = {
    {"ID", &MatchEntry::id, id_limit},
    {"DISK", &MatchEntry::area, area_limit},
    {"CURR", &MatchEntry::flag, flag_limit},
    {"UID32", &MatchEntry::uid32, uid32_limit},
};

// False with the name of the first field that does not fit.
bool fill_entry(const std::string& line, const std::string& stored_name, MatchEntry& entry,
                std::string& too_long) {
  if (stored_name.size() > stored_name_limit) {
    too_long = "FN";
    return false;
  }
  entry.stored_name = stored_name;
  for (const Field& f : text_fields) {
    std::string value;
    select_value(line, f.key, value);
    if (value.size() > f.limit) {
      too_long = f.key;
      return false;
    }
    entry.*(f.member) = value;
  }
  std::string port;
  select_value(line, "PORT", port);
  entry.port = port == absent ? 0 : to_int(port);
  return true;
}

}  // namespace

bool read_matches(const std::string& list_path, std::string_view pattern, int diagnostics,
                  MatchResult& result) {
  std::ifstream list(list_path, std::ios::binary);
  if (!list) return false;
  std::string line;
  while (std::getline(list, line)) {
    std::string stored_name;
    select_value(line, "FN", stored_name);
    if (stored_name.find(pattern) == std::string::npos) continue;
    MatchEntry entry;
    std::string too_long;
    if (line.size() > list_line_limit) too_long = "line";
    if (too_long.empty() && fill_entry(line, stored_name, entry, too_long)) {
      result.entries.push_back(std::move(entry));
      continue;
    }
    ++result.refused_lines;
    if (diagnostics)
      std::printf("Error: list line refused, %s too long: %.80s\n", too_long.c_str(),
                  line.c_str());
  }
  return true;
}

}  // namespace morbs::erasebox
