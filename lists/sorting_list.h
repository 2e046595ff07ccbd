// A fetched list reduced to one line per stored file, newest first.
#pragma once

#include <string>

#include "core/report/reporter.h"
#include "core/status.h"
#include "lists/list_line.h"

namespace morbs {

// The basic line (ORG 0) of every stored file, and the second line (ORG 1)
// of every file whose basic line is missing from the list, in descending
// prefix order; a split file is shown by its part 0 line. A second line goes
// before a basic line only when its prefix is greater (`cmp_long_numbers`);
// lines of equal prefix keep their list order, and every such line is kept.
// Lines that are too long or no list lines are left out with a message.
Lines sorting_list(const Lines& list, std::string_view path, Reporter& reporter);

// The same of the list file at `path`; why not when it cannot be read.
Result<Lines> sorting_list(const std::string& path, Reporter& reporter);

}  // namespace morbs
