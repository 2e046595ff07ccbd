#include "lists/part_sort.h"

#include "lists/list_line.h"
#include "lists/prefix_value.h"

namespace morbs {

bool comes_before(const SortLimit& a, const SortLimit& b) {
  if (a.value != b.value) return a.value > b.value;
  return a.number < b.number;
}

bool part_sort(std::istream& selection, SortLimit& limit, std::string& line) {
  bool found = false;
  SortLimit best;
  std::string candidate;
  for (long number = 0; next_list_line(selection, candidate); ++number) {
    SortLimit place{prefix_value(candidate), number};
    if (!comes_before(limit, place)) continue;
    if (found && !comes_before(place, best)) continue;
    best = place;
    line = candidate;
    found = true;
  }
  if (found) limit = best;
  return found;
}

}  // namespace morbs
