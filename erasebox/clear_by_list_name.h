#pragma once

#include <string>
#include <string_view>

#include "core/report/reporter.h"
#include "core/session/settings.h"

namespace morbs::erasebox {

struct Session {
  std::string ip_addr;
  std::string uid32;
  ConnectionWait wait;
};

// What one run did with the copies its pattern matched.
struct EraseOutcome {
  std::string stopped;  // why nothing was tried at all; empty when the list was worked through
  int matched = 0;      // matching lines, refused ones included
  int changed = 0;
  // Left alone by the rules of the mode.
  int locked = 0;         // delete or lock of a locked copy
  int not_locked = 0;     // unlock of a copy that is not locked
  int not_stored = 0;     // archived or deleted copies
  int other_session = 0;  // delete of a copy another session stored
  // Tried and not done, or not tried because the line is no line.
  int refused_lines = 0;
  int unreachable = 0;
  int refused = 0;
  int not_valid = 0;

  int failed() const { return refused_lines + unreachable + refused + not_valid; }
  // What the run was asked: at least one copy changed, none failed.
  bool done() const { return stopped.empty() && changed > 0 && failed() == 0; }
};

// Works through the lines of `list_name` whose stored name holds `pattern`.
// Stops before any node is asked for an unknown mode, an empty pattern, a
// list that cannot be opened (or is no regular file) and for "archiv".
// The messages of the operations are details of `operations`.
EraseOutcome clear_by_list_name(const Session& session, const std::string& list_name,
                                std::string_view pattern, std::string_view mode, Reporter& operations);

// The line that ends every run: how many copies were changed and why the
// others were not, e.g. "erasebox: changed 1 of 3 matching copies; skipped:
// 1 locked; failed: 1 node unreachable".
std::string summary_line(const EraseOutcome& outcome, const std::string& list_name);

}  // namespace morbs::erasebox
