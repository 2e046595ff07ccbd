// The time prefix that makes a new stored file name unique, asked of a node.
#pragma once

#include <string>
#include <string_view>

#include "core/report/reporter.h"
#include "core/session/settings.h"
#include "core/status.h"

namespace morbs {

// TIME, NANO padded to 9 digits and a trailing ":", or why there is none.
// The exchange's diagnostics are shown when the reporter shows details.
Result<std::string> get_prefix(std::string_view address, int port, Reporter& reporter,
                               ConnectionWait wait = {});

// The same with the result number: 0 with the prefix in `out`, -1 with
// "null"; for the planning until it hands its reporter.
int get_prefix(std::string_view address, int port, std::string& out, int verbose,
               ConnectionWait wait = {});

// The prefix from the node's TIME and NANO texts.
std::string make_prefix(std::string_view time, std::string_view nano);

}  // namespace morbs
