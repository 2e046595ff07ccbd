// The one read flow of pullbox -rd, for one stored file or many: the list
// is fetched once (or used as it stands), every piece is checked on its
// node side by side with the other files' (a node is asked about itself
// once in the run, when its first piece needs it), and all pieces go
// through one run of the transfer engine, each written straight into its
// place in a hidden file beside its OUT. Each file keeps its own lines and
// verdict: one that fails leaves its OUT as it was and costs the others
// nothing.
//
// `pullbox -rd ID STORED OUT` is this flow with one file: what it prints
// differs, and that is data (ReadForm), not a second flow.
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

// What a form of the command prints, and the one way it runs differently.
struct ReadForm {
  // The system's one-file lines: a failed transfer's text ("download
  // error"), the write failures' details, "End download. SUCCESS!".
  bool one_file_lines;
  // " Fetching N pieces" and each file's " Fetched: " / " Not fetched: " line.
  bool run_lines;
  // Labels and the lines of a change of copy name the OUT.
  bool labels_name_the_file;
  // A piece failed for good starts nothing new: the file is lost anyway.
  bool stop_on_failure;
};
inline constexpr ReadForm one_file_read{true, false, false, true};
inline constexpr ReadForm several_files_read{false, true, true, false};

// One status per wanted file, in order; list.q is removed at the end.
std::vector<Status> read_files(Run& run, RunEnv& env, const std::string& id, const std::vector<WantedFile>& wanted,
                               const ReadForm& form);

}  // namespace morbs::pullbox
