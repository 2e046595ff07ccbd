// The first stage of sorting: one copy's lines, one line per stored file.
#pragma once

#include <string>

namespace morbs {

// Writes "tmp0_list.q" (replacing it) with the lines of `list` whose ORG is
// "0" (copy 0) or "1" (copy 1) and whose FN names a whole file (one colon)
// or part 0 of a split file (two colons, "0" after the last), in list order.
// Other lines are dropped; a line of the copy longer than a list line is
// refused with a message. 0, or -1 when the list cannot be read or the
// selection cannot be written.
int sort_select_org(const std::string& list, int copy);

}  // namespace morbs
