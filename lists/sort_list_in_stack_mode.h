// One copy's lines of a list, one per stored file, newest first.
#pragma once

#include "lists/sort_select_org.h"

namespace morbs {

// The selection of `sort_select_org`, ordered by prefix value descending;
// lines of equal value keep their list order. Every selected line is kept.
//
// The order is the one that repeated `part_sort` scans give; it is reached
// by one stable sort, so that lists of tens of thousands of lines sort at
// once.
Lines sort_list_in_stack_mode(const Lines& list, std::string_view path, Copy copy, Reporter& reporter);

}  // namespace morbs
