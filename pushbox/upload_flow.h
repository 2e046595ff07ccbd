// The one upload flow, for one file or many: the nodes are asked about
// themselves once, every file is placed on what that told (free space kept
// up to date as the run places), the files' questions to the nodes go side
// by side, all their copies go through one run of the transfer engine
// (copies to one node sharing a connection), every copy is checked on its
// node once it is up, the checks side by side, and each file's lines are
// registered with both copies' nodes at once. Each file keeps its own
// verdict, clean-up and disaster file: one failing file loses nothing of
// the others.
//
// The one-file form is this flow with one file: what it prints differs, and
// that is data (UploadForm), not a second flow.
#pragma once

#include <string>
#include <vector>

#include "core/session/settings.h"
#include "core/status.h"
#include "pushbox/upload.h"
#include "transfer/run_env.h"

namespace morbs::pushbox {

// How many files' questions to the nodes are under way at once.
inline constexpr int files_asking_at_once = 8;

// What a form of the command prints, and the one way it runs differently.
struct UploadForm {
  // Each file's name, size and mode before it is reserved (the one-file
  // form prints them itself, before the nodes are asked).
  bool file_headers;
  // The system's one-file lines: the mode's "Upload in ..." line before the
  // copies go, its SUCCESS line, "can't open input file ..." said.
  bool mode_lines;
  // " Sending N copies" and each file's " Stored: " / " Not stored: " line.
  bool run_lines;
  // Labels of the copies end with " of NAME".
  bool labels_name_the_file;
  // A copy failed for good starts nothing new: the file is lost anyway.
  bool stop_on_failure;
};
inline constexpr UploadForm one_file_form{false, true, false, false, true};
inline constexpr UploadForm several_files_form{true, false, true, true, false};

// Uploads every file (sizes already known; `matrix[i]` tells file i's
// mode) and tells each one's verdict as `form` says. One status per file:
// why it was not stored.
std::vector<Status> upload_files(const std::vector<UploadRequest>& files, const std::vector<bool>& matrix,
                                 const UploadForm& form, const Settings& settings, const std::string& uid32,
                                 RunEnv& env);

// The several-files form: each file's mode from its size.
std::vector<Status> upload_many(const std::vector<UploadRequest>& files, const Settings& settings,
                                const std::string& uid32, RunEnv& env);

}  // namespace morbs::pushbox
