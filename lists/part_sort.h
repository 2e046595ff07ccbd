// One step of the descending selection sort over "tmp0_list.q": the scan
// that finds the line to write after the last one written.
#pragma once

#include <cstdint>
#include <istream>
#include <string>

namespace morbs {

// Where a line stands in the newest-first order: its prefix value, and its
// line number in the selection (from 0), which keeps lines of equal value in
// list order. Lines come out by value descending, then number ascending.
// The default place comes before every line: nothing written yet.
struct SortLimit {
  int64_t value = INT64_MAX;
  long number = -1;
};

// True when `a` comes before `b` in that order.
bool comes_before(const SortLimit& a, const SortLimit& b);

// Scans the selection from its current position (the caller rewinds it) and
// keeps the line that comes next after `limit` in that order: the largest
// value below it, or its own value further down the list. The kept line
// goes to `line` and its place to `limit`. False, with both unchanged, when
// no line comes after `limit`. Repeated from the default limit, one scan
// per line, it writes the whole selection newest first.
bool part_sort(std::istream& selection, SortLimit& limit, std::string& line);

}  // namespace morbs
