// The view engine: selects the lines of a list by flag, copy and date and
// prints or saves one record for each (`print_string`).
#pragma once

#include <string>

namespace morbs {

// type: "IN_REPO", "IN_ARCHI", "DELETED", "LOCKED" (CURR "ishere",
//   "archiv", "delete", "locked") or "ALL"; any other text prints
//   "Error: incorrect type file" and "Correct types: IN_REPO, IN_ARCHI,
//   DELETED, LOCKED" and gives -1.
// copy: "BOTH", "SECOND" (ORG "1"), any other text the basic copy (ORG "0").
// date: a filter when its atoi value is not 0: the text must occur in the
//   line's DATE ("2018" a year, "201803" a month); else every date.
// mode: see `print_string`.
//
// A list that cannot be opened prints "Error: can't open list <path>" and
// gives -1. A selected line longer than a list line is refused with a
// message. A saving mode starts a new "tmp_list_save.q" and at the end puts
// it in the list's place; with nothing saved, the list is removed and
// nothing takes its place (callers test for the file). When a record cannot
// be saved, the list stays as it was, the partial view is removed and the
// result is -1. Otherwise 0, whatever was emitted.
int print_list(const std::string& list, const std::string& type, const std::string& copy,
               const std::string& date, const std::string& mode);

}  // namespace morbs
