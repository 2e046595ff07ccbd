// A list line as it enters from a list file: read whole, never split, taken
// only when it is a list line, and refused with a message when it is longer
// than a list line may be.
#pragma once

#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "core/report/reporter.h"
#include "core/status.h"

namespace morbs {

using Lines = std::vector<std::string>;

// The next line without its "\n" (a last line without one counts too).
// False at the end of the file.
bool next_list_line(std::istream& in, std::string& line);

// Why the line is no list line a reader may take: FN not "prefix:name" or
// "prefix:name:part" (digits before the first colon, a name, digits after a
// second), ORG not "0" or "1", CURR not one of the four flags. Ok otherwise;
// the length is judged apart, and a short or missing DATE is shown as far as
// it goes.
Status list_line_problem(std::string_view line);

// True when a reader may take the line, which it asks after its own
// selection. A line longer than `list_line_limit` is refused with
// "Error: line N of PATH has C characters (at most 1022), refused", said
// whatever TEST says; a malformed one is skipped with a detail line saying
// why. Either way it never joins a result. `number` counts from 1.
bool taken_as_list_line(std::string_view path, long number, std::string_view line, Reporter& reporter);

// Every line of a list file (platform::read_lines) appended to `lines`;
// false when it is no regular file or cannot be read. Kept for the callers
// that take lines through an out-parameter.
bool read_all_lines(const std::string& path, Lines& lines);

// The value of KEY in a list line, "NULL" when absent.
std::string field_of(std::string_view line, std::string_view key);

}  // namespace morbs
