// Appending one line to a list file.
#pragma once

#include <string>
#include <string_view>

namespace morbs {

// Appends `line` to the file at `path` (created when missing), with a "\n"
// after it when it holds no line end. 0, or -1 when the file cannot be
// opened or written.
int save_file(const std::string& path, std::string_view line);

}  // namespace morbs
