#include "platform/status_line.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <string>

namespace morbs::platform {

namespace {

void write_error(std::string_view text) {
  while (!text.empty()) {
    const ssize_t put = ::write(STDERR_FILENO, text.data(), text.size());
    if (put <= 0) return;  // a progress line is never worth a failure
    text.remove_prefix(static_cast<size_t>(put));
  }
}

}  // namespace

bool standard_error_is_terminal() { return ::isatty(STDERR_FILENO) == 1; }

int terminal_columns() {
  struct winsize size {};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

void draw_status_line(std::string_view text) {
  // One column short of the width: a full line would wrap on some terminals.
  const size_t width = static_cast<size_t>(terminal_columns() > 1 ? terminal_columns() - 1 : 1);
  if (text.size() > width) text = text.substr(0, width);
  write_error("\r" + std::string(text) + "\x1b[K");
}

void erase_status_line() { write_error("\r\x1b[K"); }

void keep_status_line() { write_error("\n"); }

}  // namespace morbs::platform
