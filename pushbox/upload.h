// The file an upload stores, and the one-file form of the upload flow
// (pushbox/upload_flow.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "transfer/run_env.h"
#include "core/session/settings.h"
#include "core/status.h"
#include "pushbox/held_source.h"

namespace morbs::pushbox {

// The file a run uploads and what it is called in the archive.
struct UploadRequest {
  std::string id;           // account id, checked
  std::string fname_input;  // the user's local path, sent as it is
  std::string name;         // transliterated and cleaned name in the archive
  int64_t size = 0;
  // The file held open since the run looked at it; its size is `size`.
  std::shared_ptr<const HeldSource> source;
};

// Ok unless the request's file changed since it was held.
morbs::Status unchanged(const UploadRequest& upload);

// Local part files of a split upload: this stem, the part number, and the
// run's own tag, so that two runs in one folder never share a part.
inline constexpr const char* part_file_stem = "tmp_mfile";

// The size of a regular file that can be read; -1 otherwise.
int64_t get_size_local_file(const std::string& path);

// Part files that runs killed before they could remove them left behind.
void remove_parts_of_ended_runs();

// The upload flow with this one file, printing the system's one-file texts;
// reservations are given back on every failure (the disaster file stays exactly when that fails). Ok when the
// file is stored and registered; otherwise why not.
morbs::Status upload(const UploadRequest& upload, bool matrix, const morbs::Settings& settings,
                     const std::string& uid32, morbs::RunEnv& env);

}  // namespace morbs::pushbox
