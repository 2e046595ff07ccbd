// Read selection: the list lines to download for a wanted file, one per
// piece, each from its basic copy when the list has it.
#pragma once

#include <cstddef>
#include <string>

#include "core/report/reporter.h"
#include "core/status.h"
#include "lists/list_line.h"

namespace morbs {

// Candidates are the lines of the list file `list` whose FN names `wanted`
// ("prefix:name" exactly, or "name" under any prefix; a part's FN names its
// upload) with "ORG=0", in list order, then those with "ORG=1". The first
// candidate decides:
// - FN with one colon (a whole file): that line;
// - two or more colons (a split file): for each part k of the first
//   candidate's upload, the first candidate of that upload's part k;
// - no colon: nothing, why.
// Why not also when the list cannot be read, `wanted` is empty or no
// candidate exists. A candidate that is too long or no list line is left out
// with a message (`taken_as_list_line`).
Result<Lines> read_selection(const std::string& list, const std::string& wanted, Reporter& reporter);

// The same, written to "tmp_list.q" (removed first, so that it holds this
// selection only): 0, or -1 when there is none or it cannot be written. The
// refusal of a too long line is printed; the other details are not.
int get_q_string_for_read(const std::string& list, const std::string& wanted);

// The highest part number a selection takes, from the counts of basic and
// second candidates: the larger count, or their sum less one when that is
// more (every listed part of a complete upload stays).
inline size_t last_part_listed(size_t basic, size_t second) {
  const size_t larger = basic > second ? basic : second;
  return basic > 0 && second > 0 && basic + second - 1 > larger ? basic + second - 1 : larger;
}

}  // namespace morbs
