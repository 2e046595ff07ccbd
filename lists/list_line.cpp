#include "lists/list_line.h"

#include "core/report/terminal_text.h"
#include "core/wire/query_string.h"
#include "lists/stored_name.h"
#include "platform/text_file.h"

namespace morbs {

namespace {

bool all_digits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

bool is_stored_name(std::string_view fn) {
  const size_t first = fn.find(':');
  if (first == std::string_view::npos || !all_digits(fn.substr(0, first))) return false;
  std::string_view rest = fn.substr(first + 1);
  const size_t second = rest.find(':');
  if (second == std::string_view::npos) return !rest.empty();
  return second > 0 && all_digits(rest.substr(second + 1));
}

bool is_flag(std::string_view curr) {
  return curr == "ishere" || curr == "archiv" || curr == "delete" || curr == "locked";
}

}  // namespace

bool next_list_line(std::istream& in, std::string& line) {
  return static_cast<bool>(std::getline(in, line));
}

Status list_line_problem(std::string_view line) {
  if (!is_stored_name(field_of(line, "FN"))) return Status::failure("FN is no stored name");
  const std::string org = field_of(line, "ORG");
  if (org != "0" && org != "1") return Status::failure("ORG is neither 0 nor 1");
  if (!is_flag(field_of(line, "CURR"))) return Status::failure("CURR is no flag");
  return Status::success();
}

bool taken_as_list_line(std::string_view path, long number, std::string_view line, Reporter& reporter) {
  if (line.size() > list_line_limit) {
    reporter.say(format_text("Error: line %ld of %.*s has %zu characters (at most %zu), refused\n", number,
                             static_cast<int>(path.size()), path.data(), line.size(), list_line_limit));
    return false;
  }
  const Status problem = list_line_problem(line);
  if (problem) return true;
  reporter.detail(format_text("Error: line %ld of %s skipped, %s\n", number,
                              shown_on_terminal(path).c_str(), problem.why().c_str()));
  return false;
}

bool read_all_lines(const std::string& path, Lines& lines) {
  std::optional<Lines> read = platform::read_lines(path);
  if (!read) return false;
  lines.insert(lines.end(), read->begin(), read->end());
  return true;
}

std::string field_of(std::string_view line, std::string_view key) {
  std::string value;
  select_value(line, key, value);
  return value;
}

}  // namespace morbs
