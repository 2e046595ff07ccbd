#include "lists/sort_select_org.h"

#include <fstream>

#include "lists/list_line.h"
#include "lists/scratch_files.h"
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

int sort_select_org(const std::string& list, int copy) {
  std::ifstream in(list, std::ios::binary);
  if (!in) return -1;
  std::ofstream out(tmp0_list, std::ios::binary | std::ios::trunc);
  if (!out) return -1;
  const std::string wanted_org = copy == 0 ? "0" : "1";
  std::string line;
  long number = 0;
  while (next_list_line(in, line)) {
    ++number;
    if (field_of(line, "ORG") != wanted_org) continue;
    if (!names_a_file(field_of(line, "FN"))) continue;
    if (refused_as_too_long(list, number, line)) continue;
    out << line << '\n';
  }
  out.close();
  return out ? 0 : -1;
}

}  // namespace morbs
