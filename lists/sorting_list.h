// A fetched list reduced to one line per stored file, newest first.
#pragma once

#include <string>

namespace morbs {

// Writes "tmp_list.q" (replacing it): the basic line (ORG 0) of every stored
// file, and the second line (ORG 1) of every file whose basic line is
// missing from `list`, in descending prefix order; a split file is shown by
// its part 0 line. A second line goes before a basic line only when its
// prefix is greater (`cmp_long_numbers`); lines of equal prefix keep their
// list order, and every such line is kept.
//
// Scratch files: "tmp0_list.q", "tmp_list_0.q", "tmp_list_1.q" and
// "tmp_list_diff.q", all removed at the end; "tmp_list_diff.q" is also
// removed before it is written, so leftovers of an interrupted run never
// join a result. When one copy cannot be sorted, the other copy's lines
// make the result. 0, or -1 when neither copy could be sorted or the result
// cannot be written.
int sorting_list(const std::string& list);

}  // namespace morbs
