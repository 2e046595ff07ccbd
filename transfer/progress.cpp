#include "transfer/progress.h"

#include <algorithm>
#include <cstdio>

#include "platform/status_line.h"

namespace morbs {

namespace {

class TerminalProgress final : public ProgressView {
 public:
  int columns() const override { return platform::terminal_columns(); }
  void show(std::string_view line) override {
    platform::draw_status_line(line);
    shown_ = true;
  }
  void keep() override {
    if (shown_) platform::keep_status_line();
    shown_ = false;
  }
  void erase() override {
    if (shown_) platform::erase_status_line();
    shown_ = false;
  }

 private:
  bool shown_ = false;
};

std::string printed(const char* format, double a, double b = 0) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

std::string clock_text(double seconds) {
  const long s = static_cast<long>(seconds + 0.5);
  char text[32];
  if (s >= 3600)
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  else
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  return text;
}

}  // namespace

std::unique_ptr<ProgressView> terminal_progress() {
  if (!platform::standard_error_is_terminal()) return nullptr;
  return std::make_unique<TerminalProgress>();
}

std::string size_text(double bytes) {
  static const char* const units[] = {"KiB", "MiB", "GiB", "TiB"};
  if (bytes < 1024) return printed("%.0f B", bytes);
  int unit = -1;
  while (bytes >= 1024 && unit < 3) {
    bytes /= 1024;
    ++unit;
  }
  return printed(bytes < 10 && unit >= 2 ? "%.2f " : "%.1f ", bytes) + units[unit];
}

std::string bar_text(int64_t done, int64_t total, int columns) {
  if (total < 1) return size_text(static_cast<double>(done));
  const int width = std::max(columns - 1 - 7, 1);  // room for " 100.0%"
  const double part = std::clamp(static_cast<double>(done) / static_cast<double>(total), 0.0, 1.0);
  const int filled = static_cast<int>(part * width);
  return std::string(static_cast<size_t>(filled), '#') + std::string(static_cast<size_t>(width - filled), ' ') +
         printed(" %5.1f%%", part * 100);
}

std::string run_text(const RunFigures& f) {
  const double rate = f.seconds > 0 ? static_cast<double>(f.done_bytes) / f.seconds : 0;
  std::string text = " " + size_text(static_cast<double>(f.done_bytes));
  if (f.total_bytes > 0) {
    const double part = std::min(1.0, static_cast<double>(f.done_bytes) / static_cast<double>(f.total_bytes));
    text += " of " + size_text(static_cast<double>(f.total_bytes)) + printed("  %.0f%%", part * 100);
  }
  text += "  " + size_text(rate) + "/s";
  if (f.total_bytes > 0 && rate > 0 && f.done_bytes < f.total_bytes)
    text += "  " + clock_text(static_cast<double>(f.total_bytes - f.done_bytes) / rate) + " left";
  text += "  files " + std::to_string(f.done_files) + " of " + std::to_string(f.total_files);
  return text;
}

}  // namespace morbs
