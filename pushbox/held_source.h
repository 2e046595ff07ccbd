// The user's file as it was when the run began: held open, its state taken
// from that descriptor. A file written to, truncated or replaced while its
// copies went up would be stored as neither version, with both copies
// agreeing; the run asks again before it registers anything.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_descriptor.h"
#include "platform/file_state.h"

namespace morbs::pushbox {

// The verdict of a file that changed under its upload.
inline constexpr const char* changed_while_stored = "changed while it was being stored";

// Why the file at `path` cannot be uploaded: missing, a directory, no
// regular file, or unreadable.
std::string unreadable_source(const std::string& path);

class HeldSource {
 public:
  // The regular file at `path`, opened and its state taken; null when it is
  // none or cannot be read.
  static std::shared_ptr<const HeldSource> open(const std::string& path);

  int fd() const { return fd_.get(); }
  int64_t size() const { return start_.size; }
  // True when the file, or what `path` names now, is no longer what it was
  // at the start.
  bool changed() const;

 private:
  HeldSource(std::string path, platform::FileDescriptor fd, platform::FileState start)
      : path_(std::move(path)), fd_(std::move(fd)), start_(start) {}
  std::string path_;
  platform::FileDescriptor fd_;
  platform::FileState start_;
};

}  // namespace morbs::pushbox
