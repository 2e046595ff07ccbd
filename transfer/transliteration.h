// Names under which files are stored become plain ASCII before they enter
// remote paths and list lines.
#pragma once

#include <string>
#include <string_view>

namespace morbs {

// Replaces each two-byte UTF-8 sequence of U+00A0..U+03FF by one ASCII
// character; every other byte passes unchanged.
void decode_utf8(std::string_view in, std::string& out);

// Replaces, in place, the CP1250 bytes of accented letters by ASCII letters.
void decode_win(std::string& name);

}  // namespace morbs
