// pullbox -rd ID STORED OUT [STORED OUT]...: many stored files back in one
// run. The list is fetched once, the nodes are asked about themselves once,
// every piece is checked on its node side by side with the others, and all
// pieces go through one run of the transfer engine (whole files to one node
// sharing a connection). Each file keeps its own lines and verdict: one that
// fails leaves its OUT as it was and costs the others nothing.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/status.h"
#include "pullbox/run.h"
#include "transfer/run_env.h"

namespace morbs::pullbox {

// A stored name and where it goes.
struct WantedFile {
  std::string stored;
  std::string out;
};

// One status per wanted file, in order; list.q and "tmp_list.q" are removed
// at the end, as after one download.
std::vector<Status> read_many(Run& run, RunEnv& env, const std::string& id, const std::vector<WantedFile>& wanted);

}  // namespace morbs::pullbox
