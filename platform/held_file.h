// A file this process holds against every other (an exclusive flock, dropped
// by the kernel however the process ends): a run's own journal, which no
// other run may take over or give back while the run lives.
#pragma once

#include <optional>
#include <string>

#include "platform/file_region.h"

namespace morbs::platform {

class HeldFile {
 public:
  // Holds `path` (created, mode 0644, when `create` and it is not there).
  // Nothing when it is not there, cannot be opened, or another process
  // holds it.
  static std::optional<HeldFile> hold(const std::string& path, bool create);
  // Whether some live process holds `path` now.
  static bool held_elsewhere(const std::string& path);

  // Whether what is held is a regular file with bytes in it (an earlier
  // holder's leftover, as opposed to a fresh file or a FIFO of the name).
  bool is_regular() const;
  bool has_content() const;
  // Cuts the held file to nothing; false when it could not be.
  bool clear();

 private:
  explicit HeldFile(FileDescriptor fd) : fd_(std::move(fd)) {}
  FileDescriptor fd_;
};

}  // namespace morbs::platform
