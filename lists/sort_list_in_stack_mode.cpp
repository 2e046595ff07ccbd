#include "lists/sort_list_in_stack_mode.h"

#include <algorithm>
#include <cstdint>

#include "lists/prefix_value.h"

namespace morbs {

namespace {
struct Keyed {
  int64_t value;
  std::string line;
};
}  // namespace

Lines sort_list_in_stack_mode(const Lines& list, std::string_view path, Copy copy, Reporter& reporter) {
  std::vector<Keyed> keyed;
  for (std::string& line : sort_select_org(list, path, copy, reporter))
    keyed.push_back({prefix_value(line), std::move(line)});
  std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) { return a.value > b.value; });
  Lines sorted;
  sorted.reserve(keyed.size());
  for (Keyed& k : keyed) sorted.push_back(std::move(k.line));
  return sorted;
}

}  // namespace morbs
