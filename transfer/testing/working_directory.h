// A flow test's working directory of its own: made fresh under the
// temporary directory and entered; left and removed when the test ends.
#pragma once

#include <filesystem>
#include <string>

#include "platform/process.h"

namespace morbs::testing {

class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::string& stem)
      : path_(std::filesystem::temp_directory_path() / (stem + "_" + std::to_string(platform::own_process_id()))),
        old_(std::filesystem::current_path()) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
    std::filesystem::current_path(path_);
  }
  ~WorkingDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(old_, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  WorkingDirectory(const WorkingDirectory&) = delete;
  WorkingDirectory& operator=(const WorkingDirectory&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_, old_;
};

}  // namespace morbs::testing
