#include "platform/terminal.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace morbs::platform {

bool standard_output_is_terminal() { return ::isatty(STDOUT_FILENO) == 1; }

void clear_terminal() {
  if (!standard_output_is_terminal()) return;
  // Home, clear the screen, and drop the scroll-back too, as "cls" leaves none.
  std::fputs("\033[H\033[2J\033[3J", stdout);
  std::fflush(stdout);
}

bool Terminal::open(const std::string& path) {
  if (fd_) return true;
  fd_ = FileDescriptor(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (fd_ && ::isatty(fd_.get()) != 1) fd_.close();
  return static_cast<bool>(fd_);
}

void Terminal::write(std::string_view text) {
  while (fd_ && !text.empty()) {
    ssize_t put = ::write(fd_.get(), text.data(), text.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return;
    text.remove_prefix(static_cast<size_t>(put));
  }
}

std::optional<std::string> Terminal::read_line(size_t limit) {
  if (!fd_) return std::nullopt;
  std::string line;
  for (;;) {
    char c = 0;
    ssize_t got = ::read(fd_.get(), &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return line.empty() ? std::nullopt : std::optional<std::string>(line);
    if (c == '\n') return line;
    if (line.size() < limit) line.push_back(c);
  }
}

}  // namespace morbs::platform
