// Planning an upload: choose the places, reserve space on the nodes, record
// every reservation in the disaster journal, and fill the transfer table
// with each copy's transfer and registration lines. No data moves here.
//
// Every reservation line is recorded before its request is sent, so the
// journal names every reservation that may have been made; a failed
// planning leaves it for the caller to release.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/nodes/node_selection.h"
#include "core/nodes/node_table.h"
#include "core/report/reporter.h"
#include "core/wire/node_exchange.h"
#include "core/status.h"
#include "transfer/disaster_journal.h"
#include "transfer/transfer_table.h"

namespace morbs {

inline constexpr size_t archive_name_limit = 126;

// The transliterated name as it enters stored names and the journal's name.
std::string stored_file_name_of(std::string_view name_in_archive);

// What one upload asks of the planning.
struct UploadOrder {
  std::string_view uid32, id;
  std::string_view local_path;  // the user's file: a whole file's transfers send it
  std::string_view name;        // the name in the archive
  int64_t size = 0;
  std::string_view address;
  int port = 0;
  NodeExchange* exchange = nullptr;
  // The time prefix of the stored names, asked once for a run of many files
  // (their names differ, so one prefix keeps every stored name its own);
  // empty: asked of the first node for this upload.
  std::string_view prefix;
};

// A whole file as a basic and a second copy on the two places the node
// selection chooses. Reservations: basic, then second. On success the table
// holds part 0 of both copies, part count 2 and part size `size`. The
// failure's text is the system's message for it. `journal` is set once the
// stored name is known (before anything is reserved).
Status do_strings_write_singular_mode(TransferTable& curl_table, NodeTable& nconf,
                                      std::optional<DisasterJournal>& journal, const UploadOrder& order,
                                      Reporter& reporter);

// A file cut into one part per active node, part k's basic copy on slot k
// and its second copy on slot k+1 (the last part's on slot 0). Reservations
// in the order: basic 0..n-2, second 0..n-2 (on slots 1..n-1), basic n-1,
// second n-1. The parts' local files are still to be set by the caller. A
// plan without parts fails before anything is reserved.
Status do_strings_write_matrix_mode(TransferTable& curl_table, NodeTable& nconf, permut_rec& permut,
                                    std::optional<DisasterJournal>& journal, const UploadOrder& order,
                                    Reporter& reporter);

// The same two plans on places chosen already (from a node table asked once
// for many uploads): everything but asking the nodes about themselves.
Status reserve_singular(TransferTable& curl_table, const NodeTable& nconf, const WritePlaces& places,
                        std::optional<DisasterJournal>& journal, const UploadOrder& order, Reporter& reporter);
Status reserve_matrix(TransferTable& curl_table, const NodeTable& nconf, const permut_rec& permut,
                      std::optional<DisasterJournal>& journal, const UploadOrder& order, Reporter& reporter);

}  // namespace morbs
