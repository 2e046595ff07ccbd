#include "lists/print_list.h"

#include <optional>
#include <string_view>

#include "core/wire/number_text.h"
#include "lists/format_flags.h"
#include "lists/formatting_date.h"
#include "lists/print_string.h"
#include "platform/text_file.h"

namespace morbs {

namespace {

constexpr std::string_view every = "all";

struct TypeFlag {
  std::string_view type;
  std::string_view flag;
};
constexpr TypeFlag types[] = {{"IN_REPO", "ishere"},
                              {"IN_ARCHI", "archiv"},
                              {"DELETED", "delete"},
                              {"LOCKED", "locked"},
                              {"ALL", every}};

std::optional<std::string_view> wanted_flag(std::string_view type) {
  for (const TypeFlag& t : types)
    if (t.type == type) return t.flag;
  return std::nullopt;
}

struct Selection {
  std::string_view flag;  // "all" or a CURR value
  std::string_view org;   // "all" or an ORG value
  std::string_view date;  // "all" or a text DATE must hold
};

bool selected(const Selection& s, const std::string& curr, const std::string& org,
              const std::string& date) {
  if (s.flag != every && curr != s.flag) return false;
  if (s.org != every && org != s.org) return false;
  return s.date == every || date.find(s.date) != std::string::npos;
}

}  // namespace

Result<Lines> view_of(const Lines& list, std::string_view path, const ViewFilter& filter,
                      std::string_view mode, Reporter& reporter) {
  std::optional<std::string_view> flag = wanted_flag(filter.type);
  if (!flag) {
    const std::string why = "Error: incorrect type file\nCorrect types: IN_REPO, IN_ARCHI, DELETED, LOCKED";
    reporter.say_line(why);
    return Status::failure(why);
  }
  const std::string_view org = filter.copy == "BOTH" ? every : filter.copy == "SECOND" ? "1" : "0";
  const Selection selection{*flag, org, to_int(filter.date) != 0 ? std::string_view(filter.date) : every};
  Lines kept;
  for (size_t i = 0; i < list.size(); ++i) {
    const std::string& line = list[i];
    std::string curr = field_of(line, "CURR"), copy = field_of(line, "ORG");
    const std::string stored_date = field_of(line, "DATE");
    if (!selected(selection, curr, copy, stored_date)) continue;
    if (!taken_as_list_line(path, static_cast<long>(i + 1), line, reporter)) continue;
    format_flags(curr, copy);
    print_string(mode, formatting_date(stored_date), copy, curr, field_of(line, "FN"), reporter, &kept);
  }
  return kept;
}

Status print_list(const std::string& path, const ViewFilter& filter, std::string_view mode, Reporter& reporter) {
  if (!wanted_flag(filter.type)) return view_of({}, path, filter, mode, reporter).status();
  std::optional<Lines> list = platform::read_lines(path);
  if (!list) {
    const std::string why = "Error: can't open list " + path;
    reporter.say_line(why);
    return Status::failure(why);
  }
  return view_of(*list, path, filter, mode, reporter).status();
}

}  // namespace morbs
