#include "lists/sort_list_in_stack_mode.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

#include "lists/list_line.h"
#include "lists/prefix_value.h"
#include "lists/scratch_files.h"
#include "lists/sort_select_org.h"

namespace morbs {

namespace {
struct Keyed {
  int64_t value;
  std::string line;
};
}  // namespace

int sort_list_in_stack_mode(const std::string& list, const std::string& copy) {
  const bool basic = copy == "basic";
  if (sort_select_org(list, basic ? 0 : 1) != 0) return -1;
  std::vector<Keyed> lines;
  {
    std::ifstream selection(tmp0_list, std::ios::binary);
    if (!selection) return -1;
    std::string line;
    while (next_list_line(selection, line)) lines.push_back({prefix_value(line), line});
  }
  std::stable_sort(lines.begin(), lines.end(),
                   [](const Keyed& a, const Keyed& b) { return a.value > b.value; });
  std::ofstream out(basic ? tmp_list_0 : tmp_list_1, std::ios::binary | std::ios::trunc);
  if (!out) return -1;
  for (const Keyed& k : lines) out << k.line << '\n';
  out.close();
  std::error_code ignored;
  std::filesystem::remove(tmp0_list, ignored);
  return out ? 0 : -1;
}

}  // namespace morbs
