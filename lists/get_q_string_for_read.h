// Read selection: the list lines to download for a wanted file, one per
// piece, each from its basic copy when the list has it.
#pragma once

#include <string>

namespace morbs {

// Candidates are the lines of `list` that hold `wanted` anywhere (a plain
// substring test on the whole line) and "ORG=0", in list order, then those
// that hold it and "ORG=1"; they go to "tmp_list_r.q", which is started anew
// and removed at the end. The first candidate decides:
// - FN with one colon (a whole file): that line is written to "tmp_list.q";
// - two or more colons (a split file): for i from 0 to the larger count of
//   basic and second candidates, the first candidate that holds
//   wanted + ":" + i is written, when there is one;
// - no colon: nothing, -1.
// "tmp_list.q" is removed before the result is written, so it holds this
// selection only; for a split file it may end up absent.
// -1 when the list cannot be read, `wanted` is empty or no candidate
// exists; a candidate longer than a list line is refused with a message.
// 0 otherwise.
int get_q_string_for_read(const std::string& list, const std::string& wanted);

}  // namespace morbs
