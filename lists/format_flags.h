// The display forms of a list line's flag (CURR) and copy (ORG).
#pragma once

#include <string>

namespace morbs {

// Rewrites in place: "ishere" -> "REPO", "archiv" -> "ARCH",
// "delete" -> "DELT", "locked" -> "LOCK"; ORG "0" -> "BC", "1" -> "SC".
// Any other text stays as it is.
void format_flags(std::string& flag, std::string& copy);

}  // namespace morbs
