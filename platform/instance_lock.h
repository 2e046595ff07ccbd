// The machine-wide single-instance marker: an exclusive flock on a file named
// after the marker. The kernel drops it when the process ends, however it ends,
// so a crashed run never locks the next one out.
#pragma once

#include <string>

#include "platform/file_descriptor.h"

namespace morbs::platform {

// Where the lock files live: $MORBS_LOCK_DIR when set and not empty (tests that
// run side by side each take their own), else "/tmp".
std::string instance_lock_path(const std::string& name);

class InstanceLock {
 public:
  InstanceLock() = default;

  // True when this object now holds the marker `name`. False when another
  // holder has it, or when the lock file cannot be opened.
  bool acquire(const std::string& name);
  bool held() const { return static_cast<bool>(fd_); }
  void release();

 private:
  // Closing the last descriptor drops the lock.
  FileDescriptor fd_;
};

}  // namespace morbs::platform
