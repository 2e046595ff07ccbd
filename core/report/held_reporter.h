// A reporter that keeps what it is told, in order, to tell another later:
// work done on a thread of its own holds its lines, and the run shows them
// whole, one piece of work after another, never interleaved.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/report/reporter.h"

namespace morbs {

class HeldReporter final : public Reporter {
 public:
  // Details are kept when `target` would show them.
  explicit HeldReporter(bool details) : details_(details) {}
  void say(std::string_view text) override { held_.emplace_back(Kind::say, std::string(text)); }
  void detail(std::string_view text) override {
    if (details_) held_.emplace_back(Kind::detail, std::string(text));
  }
  void error_detail(std::string_view text) override {
    if (details_) held_.emplace_back(Kind::error_detail, std::string(text));
  }
  void warn_line(std::string_view text) override { held_.emplace_back(Kind::warn_line, std::string(text)); }
  bool details_shown() const override { return details_; }

  // Tells `target` everything held, in the order it came, and forgets it.
  void pass_to(Reporter& target) {
    for (const auto& [kind, text] : held_) {
      switch (kind) {
        case Kind::say: target.say(text); break;
        case Kind::detail: target.detail(text); break;
        case Kind::error_detail: target.error_detail(text); break;
        case Kind::warn_line: target.warn_line(text); break;
      }
    }
    held_.clear();
  }

 private:
  enum class Kind { say, detail, error_detail, warn_line };
  bool details_;
  std::vector<std::pair<Kind, std::string>> held_;
};

}  // namespace morbs
