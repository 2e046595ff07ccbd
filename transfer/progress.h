// A run's own view of its bytes on the terminal. Several transfers at once
// share one line for the whole run: bytes done of all bytes, percent, rate,
// time left, files done of all files. One transfer at a time draws a bar of
// its own, in the look users know from the written system. The engine draws
// at most ten times a second, and only where stderr is a terminal.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace morbs {

class ProgressView {
 public:
  virtual ~ProgressView() = default;
  virtual int columns() const = 0;
  // Draws `line` in place of the line shown.
  virtual void show(std::string_view line) = 0;
  // The line shown stays (a finished transfer's bar).
  virtual void keep() = 0;
  // The line shown goes, so that other output starts on a clean line.
  virtual void erase() = 0;
};

// The view on standard error, or null when standard error is no terminal.
std::unique_ptr<ProgressView> terminal_progress();

// "#####...   42.5%" filling `columns` less one; `total` below 1: the bytes so far.
std::string bar_text(int64_t done, int64_t total, int columns);

struct RunFigures {
  int64_t done_bytes = 0;
  int64_t total_bytes = 0;  // 0: not known
  double seconds = 0;       // since the run's first transfer began
  size_t done_files = 0;
  size_t total_files = 0;
};
// " 12.0 MiB of 64.0 MiB  18%  4.0 MiB/s  0:13 left  files 0 of 2"
std::string run_text(const RunFigures& figures);

// "812 B", "1.5 KiB", "12.0 MiB", "2.00 GiB".
std::string size_text(double bytes);

}  // namespace morbs
