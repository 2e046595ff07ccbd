#include "erasebox/clear_by_list_name.h"

#include "erasebox/flag_change.h"
#include "erasebox/match_table.h"

namespace morbs::erasebox {

namespace {

NodeTarget target_of(const Session& session, const MatchEntry& e) {
  return NodeTarget{session.ip_addr, e.port, e.id, e.stored_name, e.area, session.wait};
}

EraseOutcome stopped(std::string why) {
  EraseOutcome outcome;
  outcome.stopped = std::move(why);
  return outcome;
}

void count(EraseOutcome& outcome, Change change) {
  switch (change) {
    case Change::done: ++outcome.changed; break;
    case Change::unreachable: ++outcome.unreachable; break;
    case Change::refused: ++outcome.refused; break;
    case Change::not_valid: ++outcome.not_valid; break;
  }
}

// Why the mode leaves a copy alone, counted; false when it is to be changed.
bool skipped(EraseOutcome& outcome, const Session& session, const MatchEntry& e, std::string_view mode) {
  if (mode == "unlock") {
    if (e.flag == "locked") return false;
    ++(e.flag == "ishere" ? outcome.not_locked : outcome.not_stored);
    return true;
  }
  if (e.flag == "locked") {
    ++outcome.locked;
    return true;
  }
  if (e.flag != "ishere") {
    ++outcome.not_stored;
    return true;
  }
  // Only the session that stored a copy may delete it.
  if (mode == "delete" && e.uid32 != session.uid32) {
    ++outcome.other_session;
    return true;
  }
  return false;
}

void append_counts(std::string& line, const char* heading,
                   std::initializer_list<std::pair<int, const char*>> counts) {
  std::string parts;
  for (const auto& [n, what] : counts)
    if (n > 0) parts += (parts.empty() ? "" : ", ") + std::to_string(n) + " " + what;
  if (!parts.empty()) line += std::string("; ") + heading + ": " + parts;
}

}  // namespace

EraseOutcome clear_by_list_name(const Session& session, const std::string& list_name,
                                std::string_view pattern, std::string_view mode, Reporter& operations) {
  if (mode != "archiv" && mode != "delete" && mode != "lock" && mode != "unlock") {
    operations.detail_line("Error: incorrect mode");
    return stopped("the mode is unknown");
  }
  // Every name contains the empty pattern: never a request for all of them.
  if (pattern.empty()) {
    operations.detail_line("Error: empty file name pattern");
    return stopped("the name is empty");
  }
  MatchResult matches;
  if (!read_matches(list_name, pattern, operations, matches)) {
    operations.detail(format_text("Error: can't open file %s\n", list_name.c_str()));
    return stopped(list_name + " cannot be read");
  }
  // Archiving is the nodes' own work: erasebox asks for none.
  if (mode == "archiv") return stopped("-a asks no node for a change");

  EraseOutcome outcome;
  outcome.refused_lines = matches.refused_lines;
  outcome.matched = static_cast<int>(matches.entries.size()) + matches.refused_lines;
  for (const MatchEntry& e : matches.entries) {
    if (skipped(outcome, session, e, mode)) continue;
    const bool deleting = mode == "delete";
    const Change change = deleting ? del_file_directly(target_of(session, e), "delete", operations)
                                   : lock_unlock_file(target_of(session, e), mode, operations);
    count(outcome, change);
    if (change != Change::done)
      operations.detail("The file: " + e.stored_name + (deleting ? " cannot be deleted\n" : " cannot be locked\n"));
  }
  return outcome;
}

std::string summary_line(const EraseOutcome& outcome, const std::string& list_name) {
  if (!outcome.stopped.empty()) return "erasebox: changed 0 copies, " + outcome.stopped;
  if (outcome.matched == 0) return "erasebox: changed 0 copies, no line of " + list_name + " matches the name";
  std::string line = "erasebox: changed " + std::to_string(outcome.changed) + " of " +
                     std::to_string(outcome.matched) + " matching copies";
  append_counts(line, "skipped",
                {{outcome.locked, "locked"},
                 {outcome.not_locked, "not locked"},
                 {outcome.not_stored, "not stored"},
                 {outcome.other_session, "stored by another session"}});
  append_counts(line, "failed",
                {{outcome.unreachable, "node unreachable"},
                 {outcome.refused, "refused by the node"},
                 {outcome.not_valid, "not valid"},
                 {outcome.refused_lines, "list line refused"}});
  return line;
}

}  // namespace morbs::erasebox
