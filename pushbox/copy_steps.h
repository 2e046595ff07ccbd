// The steps an upload of one file and an upload of many share: cutting a
// part, registering a part's copies, and what a failed transfer means.
#pragma once

#include <fstream>
#include <string>
#include <vector>

#include "core/nodes/node_table.h"
#include "core/report/reporter.h"
#include "core/session/settings.h"
#include "core/status.h"
#include "core/wire/node_exchange.h"
#include "transfer/engine.h"
#include "transfer/transfer_table.h"

namespace morbs::pushbox {

// The file that collects the local paths of uploads that failed for good.
inline constexpr const char* upload_errors_file = "zz-errors.txt";
void note_failed_upload(const std::string& fname_input);

// The local file part k is cut into: the part stem, k, `file_tag` (which
// file of a run of many; empty for one) and the run's process id.
std::string part_file_name(int k, const std::string& file_tag = "");

// What the engine's failure of `jobs` (one file's) means for the user: a
// curl that could not be started is told; a transfer that failed for good
// leaves the user's path in zz-errors.txt; a part that could not be cut
// says so itself.
Status transfers_failed(const std::vector<TransferJob>& jobs, const std::string& fname_input, Reporter& reporter);

// The four lines of part k in their order of registration; `failure` is
// what the matrix flow tells when one fails.
Status register_part(const TransferTable& t, int k, NodeExchange& exchange, const Settings& settings,
                     Reporter& reporter, const char*& failure);

// Copies exactly `size` bytes from the input's position into a new part
// file, with the messages of the cutting the system has always done.
Status cut_part(std::ifstream& input, const std::string& part_name, int64_t size, Reporter& reporter);

}  // namespace morbs::pushbox
