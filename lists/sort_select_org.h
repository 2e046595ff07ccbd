// The first stage of sorting: one copy's lines, one line per stored file.
#pragma once

#include <string>

#include "core/report/reporter.h"
#include "lists/list_line.h"

namespace morbs {

enum class Copy { basic, second };

// The lines of `list` (read from `path`, named in messages) whose ORG is "0"
// (basic) or "1" (second) and whose FN names a whole file (one colon) or
// part 0 of a split file (two colons, "0" after the last), in list order.
// Other lines are dropped; a line of the copy that is too long or no list
// line is left out with a message (`taken_as_list_line`).
Lines sort_select_org(const Lines& list, std::string_view path, Copy copy, Reporter& reporter);

}  // namespace morbs
