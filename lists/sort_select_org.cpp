#include "lists/sort_select_org.h"

#include "lists/stored_name.h"

namespace morbs {

namespace {
// One line per stored file: a whole file, or the first part of a split one.
bool names_a_file(std::string_view fn) {
  size_t colons = colon_count(fn);
  if (colons == 1) return true;
  return colons == 2 && postfix_of(fn).substr(0, 1) == "0";
}
}  // namespace

Lines sort_select_org(const Lines& list, std::string_view path, Copy copy, Reporter& reporter) {
  const std::string wanted_org = copy == Copy::basic ? "0" : "1";
  Lines selection;
  for (size_t i = 0; i < list.size(); ++i) {
    const std::string& line = list[i];
    if (field_of(line, "ORG") != wanted_org) continue;
    if (!names_a_file(field_of(line, "FN"))) continue;
    if (!taken_as_list_line(path, static_cast<long>(i + 1), line, reporter)) continue;
    selection.push_back(line);
  }
  return selection;
}

}  // namespace morbs
