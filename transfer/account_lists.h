// The account's file lists from every node that answers, as lines in
// memory: what a check or a repair of the account works from. Nothing is
// written to list.q, which stays the user's view.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/nodes/node_table.h"
#include "core/session/settings.h"
#include "core/status.h"
#include "transfer/run_env.h"

namespace morbs {

struct AccountLists {
  std::vector<std::string> lines;  // every line of every list fetched
  std::vector<int> silent;         // nodes (0..3) that did not answer
  int unfetched = 0;               // lists of answering nodes that could not be fetched
};

// Asks the nodes (filling `nconf` as for a read, logins included) and
// fetches their lists, TRANSFERS at once. Fails when no node answers.
Result<AccountLists> fetch_account_lists(NodeTable& nconf, std::string_view id, const Settings& settings,
                                         RunEnv& env);

// The node (0..3) whose query port a list line's PORT names: init_port +
// node, or an old-style port counted from init_port_p; -1 when none.
int node_of_port(const Settings& settings, std::string_view port_text);

}  // namespace morbs
