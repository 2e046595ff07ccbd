// Download planning: which transfers pullbox runs before it runs any. A plan
// replaces the transfer table's earlier content; `curl_read` runs it after.
#pragma once

#include <string>
#include <string_view>

#include "core/nodes/node_table.h"
#include "core/session/settings.h"
#include "transfer/curl_table.h"

namespace morbs {

// The account's node lists: for node i = 0..3 that answered, its
// "files_list.q" of area "accounts" into the basic entry of row i and that
// of "accounts1" into the second entry of row i, quiet ("silent"), to the
// local files list0, list1, ... numbered in that order (node by node, the
// "accounts" list first). An area whose entry cannot be built (no SFTP port
// or login) is left out and the numbers stay consecutive.
// Header: "download", part count = the number of entries, sizes 0.
// 0 when planned, also with no entry at all; -1 with `message`:
// "incorrect id, wrong length" (also printed "Error: id must have 11 chars"
// when `verbose`), "no id-account in the data-network" (no node answered).
int init_list_files_read(TransferTable& curl_table, NodeTable& nconf, std::string_view id,
                         std::string_view address, int base_port, std::string& message, int verbose,
                         ConnectionWait wait = {});

// One stored copy (a whole file or one part) from the node at `port`, into
// entry 0 of `copy` ("basic" or "second"), fetched with a progress bar into
// `part_file`. The node is asked first whether it holds `stored_name` in
// `disk` ("accounts" or "accounts1") and how large it is.
// Header: "download", part count 1, part size = the node's FSIZE (0 when the
// node gave no number), last-part size 0.
// 0 when entry 0 is ready; -1 with `message`:
//   "incorrect id, wrong length"        the id is not 11 characters (tables untouched)
//   "no node"                           nothing answers at `port`
//   "no connection to the id-account"   the file check exchange failed
//   "no file in the id-account"         the node does not hold the file
//                                       (prints "Error: read-file <CP>" when verbose)
//   "file size is incorrect"            FSIZE beyond 64 bits, or negative
//   "incorrect transfer entry"          `disk` names no storage area, the
//                                       node gave no SFTP port or login, or
//                                       the request or entry would not fit
int file_read(TransferTable& curl_table, NodeTable& nconf, std::string_view id, std::string_view address,
              int port, std::string_view disk, std::string_view copy, std::string_view part_file,
              std::string_view stored_name, std::string& message, int verbose, ConnectionWait wait = {});

}  // namespace morbs
