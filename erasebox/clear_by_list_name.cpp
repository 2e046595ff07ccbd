#include "erasebox/clear_by_list_name.h"

#include <cstdio>

#include "erasebox/flag_change.h"
#include "erasebox/match_table.h"

namespace morbs::erasebox {

namespace {

NodeTarget target_of(const Session& session, const MatchEntry& e) {
  return NodeTarget{session.ip_addr, e.port, e.id, e.stored_name, e.area, session.wait};
}

}  // namespace

int clear_by_list_name(const Session& session, const std::string& list_name,
                       std::string_view pattern, std::string_view mode, int diagnostics) {
  if (mode != "archiv" && mode != "delete" && mode != "lock" && mode != "unlock") {
    if (diagnostics) std::puts("Error: incorrect mode");
    return -1;
  }
  // Every name contains the empty pattern: never a request for all of them.
  if (pattern.empty()) {
    if (diagnostics) std::puts("Error: empty file name pattern");
    return -1;
  }
  MatchResult matches;
  if (!read_matches(list_name, pattern, diagnostics, matches)) {
    if (diagnostics) std::printf("Error: can't open file %s\n", list_name.c_str());
    return -1;
  }
  if (mode == "archiv") return 0;

  int result = matches.refused_lines > 0 ? 0 : 1;
  for (const MatchEntry& e : matches.entries) {
    if (mode == "lock" || mode == "unlock") {
      if (e.flag != (mode == "lock" ? "ishere" : "locked")) continue;
      if (lock_unlock_file(target_of(session, e), mode, diagnostics) == -1) {
        result = 0;
        if (diagnostics) std::printf("The file: %s cannot be locked\n", e.stored_name.c_str());
      }
    } else {
      // Only the session that stored a copy may delete it.
      if (e.flag != "ishere" || e.uid32 != session.uid32) continue;
      if (del_file_directly(target_of(session, e), "delete", diagnostics) == -1) {
        result = 0;
        if (diagnostics) std::printf("The file: %s cannot be deleted\n", e.stored_name.c_str());
      }
    }
  }
  return result;
}

}  // namespace morbs::erasebox
