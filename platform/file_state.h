// What a file is at one moment, as the kernel tells it: which file (device
// and inode), how long, and when its bytes and its inode last changed. Two
// states that differ mean the file was written to, truncated or replaced in
// between.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace morbs::platform {

struct FileState {
  uint64_t device = 0, inode = 0;
  int64_t size = -1;
  int64_t modified_ns = 0, changed_ns = 0;
  bool operator==(const FileState&) const = default;
};

// Of the file open at `fd`; nothing when it cannot be told.
std::optional<FileState> state_of(int fd);
// Of the file `path` names now (links followed); nothing when there is none.
std::optional<FileState> state_at(const std::string& path);

}  // namespace morbs::platform
