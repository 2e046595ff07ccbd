// pullbox -list and both forms of -ls.
#pragma once

#include <string>

#include "core/status.h"
#include "core/report/reporter.h"
#include "pullbox/run.h"
#include "transfer/run_env.h"

namespace morbs::pullbox {

// -list id: list.q is removed first, whatever follows; then, for a valid
// id, the account's lists are gathered into it. Nothing is printed on
// success.
Status list_command(Run& run, RunEnv& env, const std::string& id);

// -ls: every stored file of list.q, newest first, one line each, names with
// their control characters shown as "?". Lines that are no list lines are
// left out (a detail says which); list.q stays as it is.
Status ls_sorted_command(Reporter& reporter);

// -ls list-name type copy date: the lines of a list in file order, by
// flag, copy and date. An unknown type reads as "IN_REPO", a list name over
// 79 characters as "list.q", a date not of 4 to 8 characters as "all"; an
// unknown copy is refused.
Status ls_command(Reporter& reporter, const std::string& list, const std::string& type,
                const std::string& copy, const std::string& date);

}  // namespace morbs::pullbox
