// Planning an upload: choose the places, reserve space on the nodes, record
// every reservation in a disaster file, and fill the transfer table with the
// curl entries and the list and archive lines. No data moves here.
//
// Every reservation line is appended to the disaster file before its request
// is sent, so the file names every reservation that may have been made; a
// failed planning leaves it behind for the caller to release.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/nodes/node_selection.h"
#include "core/nodes/node_table.h"
#include "core/session/settings.h"
#include "transfer/curl_table.h"

namespace morbs {

inline constexpr size_t archive_name_limit = 126;

// The transliterated name as it enters stored names and the disaster file name.
std::string stored_file_name_of(std::string_view name_in_archive);

// A whole file as a basic and a second copy on the two places the node
// selection chooses. Reservations: basic, then second. On success the table
// holds entry 0 of both copies (source `local_path`), their list and archive
// lines, part count 2 and part size `size`. 0, or -1 with `message` set.
int do_strings_write_singular_mode(TransferTable& curl_table, NodeTable& nconf,
                                   std::string& disaster_fname, std::string_view uid32, std::string_view id,
                                   std::string_view local_path, std::string_view name, int64_t size,
                                   std::string_view address, int port, std::string& message, int test,
                                   ConnectionWait wait = {});

// A file cut into one part per active node, part k's basic copy on slot k and
// its second copy on slot k+1 (the last part's on slot 0). Reservations in
// the order: basic 0..n-2, second 0..n-2 (on slots 1..n-1), basic n-1,
// second n-1. Part files are `part_stem` followed by k. A plan without parts
// fails before anything is reserved. 0, or -1 with `message` set.
int do_strings_write_matrix_mode(TransferTable& curl_table, NodeTable& nconf, permut_rec& permut,
                                 std::string& disaster_fname, std::string_view uid32, std::string_view id,
                                 std::string_view part_stem, std::string_view name, int64_t size,
                                 std::string_view address, int port, std::string& message, int test,
                                 ConnectionWait wait = {});

// After matrix planning second entry s carries part s-1 (entry 0 the last
// part); this moves second entries and their list and archive lines so that
// basic entry i and second entry i both upload part i.
void table_ordering_martix_write(TransferTable& curl_table);

}  // namespace morbs
