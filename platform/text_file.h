// The working directory's text files, read and written line by line in one
// way everywhere: lists, views, answers, records of reservations.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/regular_file.h"

namespace morbs::platform {

// Every line of a regular file, each without its "\n" (a last line without
// one counts too). nullopt when it is no regular file or cannot be read.
std::optional<std::vector<std::string>> read_lines(const std::string& path);

// Appends `line` and a "\n" (the file is created when missing). False when
// any step failed, the close included: a record that did not reach the file
// is no record.
bool append_line(const std::string& path, std::string_view line);

// Writes the lines, each closed by "\n", beside `path` and renames the
// result into its place, so that no reader ever sees half a file. False,
// with `path` as it was and nothing left beside it, when it cannot be done.
bool write_lines(const std::string& path, const std::vector<std::string>& lines);

}  // namespace morbs::platform
