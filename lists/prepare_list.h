// The list views deskbox shows: sorted, then saved as view lines into
// "tmp_list.q" (DATE=...&FLAG=...&FN=...& or DATE=...&FN=...&).
#pragma once

#include <string>

namespace morbs {

// Each sorts `list` into "tmp_list.q" (`sorting_list`) and runs a saving
// view on it with copy "BOTH" and every date. 1 when both succeeded, 0
// otherwise. An empty view leaves no "tmp_list.q"; `list` stays.
int prepare_list_for_listing_all(const std::string& list);  // "ALL", "all_save"
int prepare_list_for_read(const std::string& list);         // "ALL", "get_save"
int prepare_list_for_lock(const std::string& list);         // "IN_REPO", "unlocked_save"
int prepare_list_for_unlock(const std::string& list);       // "LOCKED", "get_save"

}  // namespace morbs
