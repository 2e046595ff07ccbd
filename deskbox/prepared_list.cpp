#include "deskbox/prepared_list.h"

#include <cstdio>
#include <fstream>
#include <string>

#include "core/wire/query_string.h"
#include "deskbox/selection_line.h"
#include "deskbox/work_files.h"
#include "platform/regular_file.h"

namespace morbs::deskbox {

namespace {

constexpr size_t date_limit = 79, flag_limit = 47, fn_limit = 255;

}  // namespace

Rewritten rewrite_prepared_list(bool with_flag) {
  Rewritten result;
  std::ifstream in;
  if (platform::is_regular_file(prepared_list_file)) in.open(prepared_list_file, std::ios::binary);
  std::ofstream out(scratch_file, std::ios::trunc | std::ios::binary);
  if (!out) return result;
  result.created = true;
  for (std::string line; std::getline(in, line);) {
    std::string date, flag, fn;
    select_value(line, "DATE", date);
    select_value(line, "FLAG", flag);
    select_value(line, "FN", fn);
    if (line.size() > selection_line_limit || date.size() > date_limit || flag.size() > flag_limit ||
        fn.size() > fn_limit) {
      std::printf(" Too long line of the list, left out: %.80s...\n", line.c_str());
      continue;
    }
    out << date << "  ";
    if (with_flag) out << flag << "  ";
    out << fn << '\n';
    ++result.lines;
  }
  out.close();
  if (!out) result.created = false;
  return result;
}

}  // namespace morbs::deskbox
