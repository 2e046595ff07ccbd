#pragma once

#include <string>
#include <string_view>

#include "core/session/settings.h"

namespace morbs::erasebox {

struct Session {
  std::string ip_addr;
  std::string uid32;
  ConnectionWait wait;
};

// 1 when every attempted node operation succeeded (also when none was);
// 0 when one failed, and always for "archiv"; -1 for an unknown mode, an
// empty pattern or a list that cannot be opened (or is no regular file).
int clear_by_list_name(const Session& session, const std::string& list_name,
                       std::string_view pattern, std::string_view mode, int diagnostics);

}  // namespace morbs::erasebox
