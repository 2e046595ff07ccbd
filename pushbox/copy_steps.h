// The steps an upload of one file and an upload of many share: cutting a
// part, registering a part's copies, and what a failed transfer means.
#pragma once

#include <string>
#include <vector>

#include "core/nodes/node_table.h"
#include "core/report/reporter.h"
#include "core/session/settings.h"
#include "core/status.h"
#include "core/wire/node_exchange.h"
#include "transfer/engine.h"
#include "transfer/registration_lines.h"
#include "transfer/transfer_table.h"

namespace morbs::pushbox {

// The file that collects the local paths of uploads that failed for good.
inline constexpr const char* upload_errors_file = "zz-errors.txt";
void note_failed_upload(const std::string& fname_input);

// What the engine's failure of `jobs` (one file's) means for the user: a
// curl that could not be started is told; a transfer that failed for good
// leaves the user's path in zz-errors.txt; a part that could not be cut
// says so itself.
Status transfers_failed(const std::vector<TransferJob>& jobs, const std::string& fname_input, Reporter& reporter);

// The four lines of part k, each with its copy's digest at its end where the
// node takes it (`notice` says once per run when one went without), each
// copy's two going to its node beside the other copy's: each node still
// gets its list line before its archive line. A failure is the one that
// would have come first one after another; `failure` is what the matrix
// flow tells for it.
Status register_part_together(const TransferTable& t, int k, NodeExchange& exchange, const Settings& settings,
                              Reporter& reporter, ListedDigestNotice& notice, const char*& failure);

// The copies of a split file's parts as engine jobs, in the order basic 0,
// second 0, basic 1, ...: each sends its range of the file of `source`
// straight from there (no part is cut into a file of its own), and the basic
// copy's job tells the part's size as it first starts. Labels end with
// `label_end`.
std::vector<TransferJob> part_jobs(const TransferTable& table, int source, const std::string& label_end,
                                   Reporter& reporter);

}  // namespace morbs::pushbox
