// The list views deskbox shows: sorted, then kept as view lines in
// "tmp_list.q" (DATE=...&FLAG=...&FN=...& or DATE=...&FN=...&).
#pragma once

#include <string>

#include "core/report/reporter.h"
#include "core/status.h"

namespace morbs {

enum class PreparedView {
  listing_all,  // "ALL", "all_save": every copy with its flag
  read,         // "ALL", "get_save": what can be downloaded
  lock,         // "IN_REPO", "unlocked_save": stored and not locked
  unlock,       // "LOCKED", "get_save": the locked files
};

// Sorts `list` (`sorting_list`) and writes the view's records to
// "tmp_list.q" in place of what was there. An empty view leaves no
// "tmp_list.q"; `list` stays. Why not when the list cannot be read or the
// view cannot be written.
Status prepare_list(const std::string& list, PreparedView view, Reporter& reporter);

}  // namespace morbs
