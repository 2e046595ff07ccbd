#include "core/report/reporter.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "core/report/terminal_text.h"
#include "platform/console.h"

namespace morbs {

std::string format_text(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int size = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text;
  if (size > 0) {
    std::vector<char> buffer(static_cast<size_t>(size) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, again);
    text.assign(buffer.data(), static_cast<size_t>(size));
  }
  va_end(again);
  return text;
}

void ConsoleReporter::failure_line(std::string_view text) {
  platform::flush_stdout();
  platform::write_stderr(shown_on_terminal(text));
  platform::write_stderr("\n");
}

void ConsoleReporter::say(std::string_view text) { platform::write_stdout(text); }

void ConsoleReporter::detail(std::string_view text) {
  if (details_) platform::write_stdout(text);
}

void ConsoleReporter::error_detail(std::string_view text) {
  if (!details_) return;
  platform::flush_stdout();  // stays in order with what was said before
  platform::write_stderr(text);
}

void ConsoleReporter::warn_line(std::string_view text) {
  platform::flush_stdout();
  platform::write_stderr(shown_on_terminal(text));
  platform::write_stderr("\n");
}

void ConsoleReporter::flush() { platform::flush_stdout(); }

}  // namespace morbs
