// "--help", which every program answers with a short usage of every form it
// takes, beside the system's own help texts ("pullbox -h", "erasebox -h").
#pragma once

#include <string_view>

namespace morbs {

// True for exactly one argument, "--help". Checked first, with "--version",
// so that no certificate, client.config or terminal is needed for it and
// every longer argument list keeps the answer it always had.
inline bool asks_for_help(int argc, const char* const* argv) {
  return argc == 2 && std::string_view(argv[1]) == "--help";
}

}  // namespace morbs
