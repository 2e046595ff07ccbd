// The node lists a run needs, fetched through one engine run into nameless
// scratch files (nothing is left behind, even by a killed run) and handed
// back as text.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/session/settings.h"
#include "core/status.h"
#include "transfer/run_env.h"
#include "transfer/transfer.h"

namespace morbs {

// One list: its text, or nothing and the system's text for why not.
struct ListText {
  std::optional<std::string> text;
  std::string failure;
};

// One ListText per list, in their order; fails only when no scratch file
// can be had.
Result<std::vector<ListText>> fetch_list_texts(const std::vector<Transfer>& lists, const Settings& settings,
                                               RunEnv& env);

}  // namespace morbs
