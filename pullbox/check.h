// pullbox -check ID [-deep]: whether every file of the account is still
// stored twice. One line per file that is not (which piece, which copy,
// which node, what is wrong), then a summary; -deep also downloads every
// copy and compares it with its node's digest.
#pragma once

#include <string>

#include "core/status.h"
#include "pullbox/run.h"
#include "transfer/account_survey.h"
#include "transfer/run_env.h"

namespace morbs::pullbox {

// Ok only when every file is fully redundant and every node's list came.
Status check_command(Run& run, RunEnv& env, const std::string& id, bool deep);

// The line for a file that is not fully redundant.
std::string file_line(const StoredFile& file, const std::vector<int>& silent);

}  // namespace morbs::pullbox
