// The account's file list from every node, gathered into list.q.
#pragma once

#include <string>
#include <string_view>

#include "core/nodes/node_table.h"
#include "core/session/settings.h"
#include "transfer/curl_table.h"

namespace morbs::pullbox {

// Plans the list downloads (`init_list_files_read`), fetches them row by
// row, basic before second (up to `transfers` at once, each with its own
// attempts), into list0, list1, ..., and appends them in
// that order to list.q (created when missing; never emptied here), deleting
// each one once appended. A list whose last line has no line end gets one,
// so that no line of the next list runs into it.
// Prints "Error: no files_list" (always) when no list was planned, "Error:
// can't open list.q for write" (when `verbose`) when list.q cannot be
// written. The first failing fetch ends it; the lists fetched so far stay.
// 0 when list.q received the lists; -1 otherwise, with the planning or the
// transfer failure in `message` (not printed).
int get_list(TransferTable& curl_table, NodeTable& nconf, std::string_view id, std::string_view address,
             int base_port, std::string& message, int verbose, ConnectionWait wait = {}, int transfers = 1);

}  // namespace morbs::pullbox
