// Transfer entries: the pieces of one curl command line, as a query string
// in the transfer table (ST4 remote URL, ST6 login, ST8 local file, ST9 mode).
#pragma once

#include <string>
#include <string_view>

#include "core/nodes/node_selection.h"
#include "core/nodes/node_table.h"
#include "transfer/curl_table.h"

namespace morbs {

// The SFTP user when a node's login text holds no ":".
inline constexpr std::string_view default_sftp_user = "usr";

// Upload of a whole file from node `node` (directory MORB<node+1>) into
// entry 0 of the basic or second entries. 0, or -1 (entry untouched).
int do_curl_strings_singular_mode(TransferTable& curl_table, const NodeTable& nconf, int node, std::string_view address, std::string_view id,
                                  std::string_view copy, std::string_view disk,
                                  std::string_view local_name, std::string_view remote_name,
                                  int test);

// Upload of part `part` to the plan's node for that slot (directory MORB<sn>).
int do_curl_strings_matrix_mode(TransferTable& curl_table, const NodeTable& nconf,
                                const permut_rec& permut, int part, std::string_view address, std::string_view id,
                                std::string_view copy, std::string_view disk,
                                std::string_view local_name, std::string_view remote_name,
                                int test);

// Download into entry `entry`; mode "silent" makes curl quiet (ST9 "-Ss").
int do_curl_strings_read_proc(TransferTable& curl_table, const NodeTable& nconf, int node, int entry, std::string_view address, std::string_view id,
                              std::string_view copy, std::string_view disk,
                              std::string_view local_name, std::string_view remote_name,
                              std::string_view mode, int test);

}  // namespace morbs
