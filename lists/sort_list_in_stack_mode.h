// One copy's lines of a list, one per stored file, newest first.
#pragma once

#include <string>

namespace morbs {

// Selects with `sort_select_org` (copy "basic" exactly means the basic copy,
// any other text the second) and writes the selection to "tmp_list_0.q"
// (basic) or "tmp_list_1.q" (second), replacing it, ordered by prefix value
// descending; lines of equal value keep their list order. Every selected
// line is kept. "tmp0_list.q" is removed afterwards. 0, or -1 when the list
// cannot be read or a file cannot be written.
//
// The order is the one that repeated `part_sort` scans give; it is reached
// by one stable sort, so that lists of tens of thousands of lines sort at
// once.
int sort_list_in_stack_mode(const std::string& list, const std::string& copy);

}  // namespace morbs
