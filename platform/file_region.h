// Opening, making and reading back the files a run moves bytes from and to:
// whole files, regions of a file that several writers fill at once, and
// nameless scratch files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_descriptor.h"

namespace morbs::platform {

// Puts the position of `fd` at `offset`; false when it cannot.
bool seek_to(int fd, int64_t offset);

// A new file at `path`, never one that is there (mode 0644).
FileDescriptor create_new_file(const std::string& path);
// An existing file opened for reading.
FileDescriptor open_for_reading(const std::string& path);
// An existing file opened for writing (and reading), positioned at `offset`.
FileDescriptor open_for_writing_at(const std::string& path, int64_t offset);
// The file at `path` for writing from its start: made when missing, emptied
// when there.
FileDescriptor open_for_replacing(const std::string& path);
// The size of the file of `fd`; -1 when it cannot be told.
int64_t size_of_open_file(int fd);

// Writes all of `bytes` at the position of `fd`; false when it cannot.
bool write_all(int fd, std::string_view bytes);

// A file with no name in `directory`, gone with its last descriptor: a
// scratch file that even a killed run never leaves behind.
FileDescriptor create_nameless_file(const std::string& directory);
// Everything in the file of `fd`, read from its start; nothing when it
// cannot be read.
std::optional<std::string> read_from_start(int fd);

// Renames `from` to `to` unless `to` exists (errno EEXIST then).
bool rename_without_replacing(const std::string& from, const std::string& to);


}  // namespace morbs::platform
