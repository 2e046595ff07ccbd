#include "deskbox/prepared_list.h"

#include <cstdio>
#include <vector>
#include <string>

#include "core/report/terminal_text.h"
#include "core/wire/query_string.h"
#include "deskbox/selection_line.h"
#include "deskbox/work_files.h"
#include "platform/text_file.h"

namespace morbs::deskbox {

namespace {

constexpr size_t date_limit = 79, flag_limit = 47, fn_limit = 255;

}  // namespace

std::optional<std::string> Rewritten::real_line(const std::string& chosen) const {
  auto found = real_of_shown.find(chosen);
  if (found == real_of_shown.end()) return chosen;
  if (found->second.empty()) return std::nullopt;
  return found->second;
}

Rewritten rewrite_prepared_list(bool with_flag) {
  Rewritten result;
  // A view that is no regular file shows nothing.
  const std::vector<std::string> view = platform::read_lines(prepared_list_file).value_or(std::vector<std::string>{});
  std::vector<std::string> shown_lines;
  for (const std::string& line : view) {
    std::string date, flag, fn;
    select_value(line, "DATE", date);
    select_value(line, "FLAG", flag);
    select_value(line, "FN", fn);
    if (line.size() > selection_line_limit || date.size() > date_limit || flag.size() > flag_limit ||
        fn.size() > fn_limit) {
      std::printf(" Too long line of the list, left out: %.80s...\n", shown_on_terminal(line).c_str());
      continue;
    }
    std::string real = date + "  ";
    if (with_flag) real += flag + "  ";
    real += fn;
    const std::string shown = shown_on_terminal(real);
    shown_lines.push_back(shown);
    auto [at, fresh] = result.real_of_shown.try_emplace(shown, real);
    if (!fresh && at->second != real) at->second.clear();
  }
  result.lines = shown_lines.size();
  result.created = platform::write_lines(scratch_file, shown_lines);
  return result;
}

}  // namespace morbs::deskbox
