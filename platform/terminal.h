// The user's terminal: clearing the screen for the programs that print to it,
// and /dev/tty for a dialog whose standard output is a pipe to its caller.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_descriptor.h"

namespace morbs::platform {

bool standard_output_is_terminal();

// Clears the screen when standard output is a terminal; otherwise does
// nothing, so a log or a pipe never fills with escape sequences.
void clear_terminal();

// The controlling terminal of the process, opened apart from its standard
// streams. Closed when the object goes.
class Terminal {
 public:
  Terminal() = default;

  // False when the process has no controlling terminal.
  bool open(const std::string& path = "/dev/tty");
  bool is_open() const { return static_cast<bool>(fd_); }
  void write(std::string_view text);
  // One line without its line end; nullopt at end of input or on an error.
  // A longer line is cut to `limit` characters (the rest is read and dropped).
  std::optional<std::string> read_line(size_t limit = 4095);

 private:
  FileDescriptor fd_;
};

}  // namespace morbs::platform
