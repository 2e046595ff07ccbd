// What one pullbox run owns: its settings, the session identity, the node
// table and the transfer table. main holds it and hands it down.
#pragma once

#include <string>

#include "core/nodes/node_table.h"
#include "core/session/settings.h"
#include "pullbox/piece_check.h"

namespace morbs::pullbox {

struct Run {
  Settings settings = Settings::defaults(Program::pullbox);
  std::string uid32;
  NodeTable nconf;
  SizeOnlyNotice size_only;  // a piece of no known digest, said once a run
};

// The line that points to the help, printed only when `test` is 1.
void print_usage(const Settings& settings);

// 1 when `id` may name an account: 11 characters ("Incorrect lenght of
// id-account" otherwise, always) and a valid number (the check prints its
// reason, then the usage line).
int check_account_id(const Settings& settings, const std::string& id);

// The hook for a further data network; nothing to do here.
int other_data_network();

}  // namespace morbs::pullbox
