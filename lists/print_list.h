// The view engine: selects the lines of a list by flag, copy and date and
// shows or keeps one record for each (`print_string`).
#pragma once

#include <string>

#include "core/report/reporter.h"
#include "core/status.h"
#include "lists/list_line.h"

namespace morbs {

// type: "IN_REPO", "IN_ARCHI", "DELETED", "LOCKED" (CURR "ishere",
//   "archiv", "delete", "locked") or "ALL".
// copy: "BOTH", "SECOND" (ORG "1"), any other text the basic copy (ORG "0").
// date: a filter when its atoi value is not 0: the text must occur in the
//   line's DATE ("2018" a year, "201803" a month); else every date.
struct ViewFilter {
  std::string type;
  std::string copy = "BOTH";
  std::string date = "all";
};

// The records of the selected lines of `list` in list order (`path` names it
// in messages): a showing mode says each on `reporter`, a keeping mode
// returns them. A selected line that is too long or no list line is left out
// with a message. An unknown type says "Error: incorrect type file" and
// "Correct types: IN_REPO, IN_ARCHI, DELETED, LOCKED" and gives why.
Result<Lines> view_of(const Lines& list, std::string_view path, const ViewFilter& filter,
                      std::string_view mode, Reporter& reporter);

// The showing view of the list file at `path`. A list that cannot be read
// says "Error: can't open list <path>" and gives why; so does an unknown type.
Status print_list(const std::string& path, const ViewFilter& filter, std::string_view mode, Reporter& reporter);

}  // namespace morbs
