#include "core/report/terminal_text.h"

namespace morbs {

std::string shown_on_terminal(std::string_view text) {
  std::string shown(text);
  for (char& c : shown) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = '?';
  }
  return shown;
}

}  // namespace morbs
