// The transfer table: every curl command of one planned transfer and the
// list and archive lines that register its copies.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/nodes/node_table.h"

namespace morbs {

inline constexpr size_t transfer_entry_limit = 1023;
inline constexpr size_t registration_line_limit = 255;

using Slots = std::array<std::string, node_count>;

// A run owns its table (named `curl_table` by convention).
struct TransferTable {
  std::string mode = "null";  // "upload-singular", "upload-matrix", "download"
  int part_count = 0;
  int64_t part_size = 0;
  int64_t last_part_size = 0;
  Slots basic_entries, second_entries;
  Slots basic_list_lines, second_list_lines;
  Slots basic_archive_lines, second_archive_lines;
};

// Every entry and line "null", counts and sizes 0.
void init_table(TransferTable& curl_table);

}  // namespace morbs
