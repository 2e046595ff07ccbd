// A list line as it enters from a list file: read whole, never split, and
// refused with a message when it is longer than a list line may be.
#pragma once

#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace morbs {

// The next line without its "\n" (a last line without one counts too).
// False at the end of the file.
bool next_list_line(std::istream& in, std::string& line);

// Every line of a file this program wrote itself (lines already bounded).
// False when the file cannot be opened.
bool read_all_lines(const std::string& path, std::vector<std::string>& lines);

// Writes the lines, each closed by "\n", to a new file at `path` (replacing
// it). False when it cannot be written.
bool write_all_lines(const std::string& path, const std::vector<std::string>& lines);

// True, after printing why, when the line is longer than `list_line_limit`.
// A reader that would take the line asks this first: the line is then left
// out whole, so it never turns into two records. `number` counts from 1.
bool refused_as_too_long(std::string_view path, long number, std::string_view line);

// The value of KEY in a list line, "NULL" when absent.
std::string field_of(std::string_view line, std::string_view key);

}  // namespace morbs
