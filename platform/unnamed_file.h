// A file that has no name until it is complete: made in a directory with
// O_TMPFILE, written through descriptors of its own, and linked under its
// name only at the end. Nothing half-written is ever seen under a name, and
// a run that is killed leaves nothing behind.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_descriptor.h"

namespace morbs::platform {

// A file without a name in `directory` (mode 0666 less the umask); invalid
// when the file system cannot make one (errno tells).
FileDescriptor create_unnamed_file(const std::string& directory);
// A name under which this process, and children it starts, open the file of
// `fd` again while `fd` stays open.
std::string path_of_descriptor(int fd);
// The file of `fd` opened once more for writing (and reading), at `offset`.
FileDescriptor reopen_at(int fd, int64_t offset);
// Gives the unnamed file of `fd` the name `path`; false when it cannot
// (errno EEXIST when `path` is there).
bool link_into_place(int fd, const std::string& path);

}  // namespace morbs::platform
