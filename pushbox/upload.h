// One upload: plan, move the copies with curl, register them, and undo the
// reservations when anything fails.
#pragma once

#include <cstdint>
#include <string>

#include "core/nodes/node_selection.h"
#include "core/nodes/node_table.h"
#include "core/session/settings.h"
#include "transfer/curl_table.h"

namespace pushbox {

// The file a run uploads and what it is called in the archive.
struct UploadRequest {
  std::string id;           // account id, checked
  std::string fname_input;  // the user's local path, sent as it is
  std::string name;         // transliterated and cleaned name in the archive
  int64_t size = 0;
};

// The run's state that planning and the flows fill.
struct RunTables {
  morbs::NodeTable& nconf;
  morbs::permut_rec& permut;
  morbs::TransferTable& curl_table;
  std::string& disaster_fname;
};

// Local part files of a split upload are this stem followed by the part number.
inline constexpr const char* part_file_stem = "tmp_mfile";

// The size of a regular file that can be read; -1 otherwise.
int64_t get_size_local_file(const std::string& path);

// Both flows print their progress and verdict and always end normally;
// reservations are given back on every failure (the disaster file stays
// exactly when that fails).
void upload_singular(const UploadRequest& upload, RunTables tables, const morbs::Settings& settings,
                     const std::string& uid32);
void upload_matrix(const UploadRequest& upload, RunTables tables, const morbs::Settings& settings,
                   const std::string& uid32);

}  // namespace pushbox
