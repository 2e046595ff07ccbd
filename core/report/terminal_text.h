// Text from a list, a node or a file shown on a terminal: a control
// character in it could move the cursor, retitle the window or answer back,
// so each is shown as "?". Files keep their bytes; only what is shown changes.
#pragma once

#include <string>
#include <string_view>

namespace morbs {

std::string shown_on_terminal(std::string_view text);

}  // namespace morbs
