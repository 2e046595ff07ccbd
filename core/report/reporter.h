// Where code below the programs tells what it sees along the way: progress
// lines, attempt lines, the system's diagnostics. It never prints itself; a
// program hands down one reporter, which shows the texts byte for byte and
// keeps the diagnostics to itself when client.config says TEST=0. Tests
// hand down one that records.
#pragma once

#include <string>
#include <string_view>

namespace morbs {

class Reporter {
 public:
  virtual ~Reporter() = default;
  // Shown whatever TEST says: progress and verdicts, exactly as given.
  virtual void say(std::string_view text) = 0;
  // Shown only when TEST is on: what went wrong on the way, and where.
  virtual void detail(std::string_view text) = 0;
  // Shown on standard error only when TEST is on: a failing system call,
  // or what gave up on the way.
  virtual void error_detail(std::string_view text) = 0;
  // A line shown always, on standard error: what a run could not do though
  // it went on (a node that did not answer), beside the system's own texts.
  virtual void warn_line(std::string_view text) = 0;
  // Whether detail() is shown, for a caller that would build a costly text.
  virtual bool details_shown() const = 0;
  // What was said so far reaches the terminal before a child writes to it.
  virtual void flush() {}

  void say_line(std::string_view text) { say(std::string(text) + "\n"); }
  void detail_line(std::string_view text) { detail(std::string(text) + "\n"); }
};

// printf-style text for the system's messages that carry numbers.
std::string format_text(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Shows everything on standard output through the platform layer.
class ConsoleReporter : public Reporter {
 public:
  // The one added line that ends a failed run, on standard error, after
  // everything said before it.
  static void failure_line(std::string_view text);

  explicit ConsoleReporter(bool details) : details_(details) {}
  void say(std::string_view text) override;
  void detail(std::string_view text) override;
  void error_detail(std::string_view text) override;
  void warn_line(std::string_view text) override;
  bool details_shown() const override { return details_; }
  void flush() override;
  void set_details(bool details) { details_ = details; }

 private:
  bool details_;
};

// Keeps every text, for tests: `said` holds both kinds in order, details
// only when they would be shown.
class RecordingReporter : public Reporter {
 public:
  explicit RecordingReporter(bool details = true) : details_(details) {}
  void say(std::string_view text) override { said += text; }
  void detail(std::string_view text) override {
    if (details_) said += text;
  }
  void error_detail(std::string_view text) override {
    if (details_) errors += text;
  }
  void warn_line(std::string_view text) override {
    errors += text;
    errors += "\n";
  }
  std::string errors;
  bool details_shown() const override { return details_; }
  std::string said;

 private:
  bool details_;
};

}  // namespace morbs
