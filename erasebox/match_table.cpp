#include "erasebox/match_table.h"

#include <optional>
#include <vector>

#include "core/session/account.h"
#include "core/wire/number_text.h"
#include "core/wire/query_string.h"
#include "lists/stored_name.h"
#include "core/report/terminal_text.h"
#include "platform/text_file.h"

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

constexpr int lowest_port = 1;
constexpr int highest_port = 65535;

// False with why the line is refused: the first field that does not fit, an
// id that could change a storage path, a port that is no port.
bool fill_entry(const std::string& line, const std::string& stored_name, MatchEntry& entry,
                std::string& reason) {
  if (stored_name.size() > stored_name_limit) {
    reason = "FN too long";
    return false;
  }
  entry.stored_name = stored_name;
  for (const Field& f : text_fields) {
    std::string value;
    select_value(line, f.key, value);
    if (value.size() > f.limit) {
      reason = std::string(f.key) + " too long";
      return false;
    }
    entry.*(f.member) = value;
  }
  if (!is_safe_account_id(entry.id)) {
    reason = "ID not valid";
    return false;
  }
  // Nothing is sent to a port the list line cannot name: the old reading
  // wrapped -1 to 65535 and 74737 to 9201.
  std::string port;
  select_value(line, "PORT", port);
  entry.port = port == absent ? 0 : to_int(port);
  if (entry.port < lowest_port || entry.port > highest_port) {
    reason = "PORT not valid";
    return false;
  }
  return true;
}

// The start of a refused line: the line may come from anywhere and must not
// drive the terminal.
std::string shown(const std::string& line) { return shown_on_terminal(line.substr(0, 80)); }

}  // namespace

bool read_matches(const std::string& list_path, std::string_view pattern, Reporter& reporter,
                  MatchResult& result) {
  // Only a regular file is a list: a FIFO would hold erasebox for ever.
  std::optional<std::vector<std::string>> lines = platform::read_lines(list_path);
  if (!lines) return false;
  for (const std::string& line : *lines) {
    std::string stored_name;
    select_value(line, "FN", stored_name);
    if (stored_name.find(pattern) == std::string::npos) continue;
    MatchEntry entry;
    std::string reason;
    if (line.size() > list_line_limit) reason = "line too long";
    if (reason.empty() && fill_entry(line, stored_name, entry, reason)) {
      result.entries.push_back(std::move(entry));
      continue;
    }
    ++result.refused_lines;
    reporter.detail(format_text("Error: list line refused, %s: %s\n", reason.c_str(), shown(line).c_str()));
  }
  return true;
}

}  // namespace morbs::erasebox
