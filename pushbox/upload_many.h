// Many files in one run: the nodes are asked about themselves once, every
// file is placed on what that told (free space kept up to date as the run
// places), the files' questions to the nodes go side by side, and all their
// copies go through one run of the transfer engine, copies to one node
// sharing a connection. Each file keeps its own lines, verdict, clean-up and
// disaster file: one failing file loses nothing of the others.
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

// How many of a run's files were stored.
struct ManyStored {
  size_t stored = 0;
  size_t files = 0;
};

// Uploads every file (sizes already known) and tells each one's verdict;
// a failed file's path and reason go to `failed` lines on standard error
// through the reporter's failure line by the caller. The statuses, one per
// file, say why a file was not stored.
std::vector<Status> upload_many(const std::vector<UploadRequest>& files, const Settings& settings,
                                const std::string& uid32, RunEnv& env);

}  // namespace morbs::pushbox
