// The account's file list from every node, gathered into list.q.
#pragma once

#include <string_view>

#include "core/nodes/node_table.h"
#include "transfer/run_env.h"
#include "core/session/settings.h"
#include "core/status.h"

namespace morbs::pullbox {

// Plans the list downloads (`init_list_files_read`), fetches them node by
// node, "accounts" before "accounts1" (up to TRANSFERS at once, each with
// its own attempts, into scratch files that have no name), and appends them
// in that order to list.q (created when missing; never emptied here). A list
// whose last line has no line end gets one, so that no line of the next
// list runs into it. Says "Error: no files_list" (always) when no list was
// planned, "Error: can't open list.q for write" (as a detail) when list.q
// cannot be written. Every node counts on its own: a node that did not
// answer, or a list that could not be fetched, is said on standard error
// and the lists that came are still written. Ok when every list of every
// answering node is in list.q; the failure's reason is not said here.
Status get_list(NodeTable& nconf, std::string_view id, const Settings& settings, RunEnv& env);

}  // namespace morbs::pullbox
