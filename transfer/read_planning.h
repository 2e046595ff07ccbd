// Download planning: which transfers pullbox runs, before it runs them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/nodes/node_table.h"
#include "core/report/reporter.h"
#include "core/wire/node_exchange.h"
#include "core/status.h"
#include "transfer/transfer.h"

namespace morbs {

// The account's node lists: for node i = 0..3 that answered, its
// "files_list.q" of area "accounts" (copy basic), then that of "accounts1"
// (copy second), quiet, each still to be given its local file. An area
// whose transfer cannot be built (no SFTP port or login) is left out.
// Empty when no node holds the account. Fails with
// "incorrect id, wrong length" (told "Error: id must have 11 chars") or
// "no id-account in the data-network" (no node answered).
Result<std::vector<Transfer>> init_list_files_read(NodeTable& nconf, std::string_view id, std::string_view address,
                                                   int base_port, NodeExchange& exchange, Reporter& reporter);

// One stored copy (a whole file or one part) and the size its node reports.
struct PieceSource {
  Transfer transfer;  // a download with a progress bar, its local file still to be set
  int64_t size = 0;
  // The SHA-256 the node recorded for it (64 lowercase hex digits); nothing
  // when the node keeps none or gave a malformed one.
  std::optional<std::string> sha256;
};

// Asks the node at `port` whether it holds `stored_name` in `area` and how
// large it is. Fails with:
//   "incorrect id, wrong length"        the id is not 11 characters
//   "no node"                           nothing answers at `port`
//   "no connection to the id-account"   the file check exchange failed
//   "no file in the id-account"         the node does not hold the file
//                                       (told "Error: read-file <CP>")
//   "file size is incorrect"            FSIZE beyond 64 bits, or negative
//   "incorrect transfer entry"          no such area, the node gave no SFTP
//                                       port or login, or the request would not fit
Result<PieceSource> file_read(NodeTable& nconf, std::string_view id, std::string_view address, int port,
                              std::string_view area, Copy copy, std::string_view stored_name, NodeExchange& exchange,
                              Reporter& reporter);

// The same question put to a node already known (asked about itself once
// for many downloads): only its chkfile, with the same failures.
Result<PieceSource> file_read_on(const node_conf& node, std::string_view id, std::string_view address,
                                 std::string_view area_name, Copy copy, std::string_view stored_name,
                                 NodeExchange& exchange, Reporter& reporter);

}  // namespace morbs
