// Input files (certificate, lists, configuration, answer files) are read only
// when they are regular files: a FIFO or a device named like one would hold a
// program for ever or feed it endless bytes.
#pragma once

#include <cstdint>
#include <string>

namespace morbs::platform {

// True when `path` names a regular file (symbolic links followed).
bool is_regular_file(const std::string& path);

// Removes `path` if it is there. A scratch file that is already gone, or
// cannot be removed, is no failure of the work that made it.
void remove_file(const std::string& path);

// The size of the file at `path` (links followed); -1 when it cannot be told.
int64_t size_of_file(const std::string& path);

// The system's words for `error` (an errno value), as a cause in a line:
// "read-only file system", "no space left on device".
std::string cause_of(int error);

}  // namespace morbs::platform
