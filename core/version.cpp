#include "core/version.h"

#include <cstdio>

#ifndef MORBS_VERSION
#error "MORBS_VERSION comes from the build (core/CMakeLists.txt)"
#endif

namespace morbs {

std::string_view version() { return MORBS_VERSION; }

bool asks_for_version(int argc, const char* const* argv) {
  return argc == 2 && std::string_view(argv[1]) == "--version";
}

int print_version(std::string_view program) {
  std::printf("%.*s %.*s\n", static_cast<int>(program.size()), program.data(),
              static_cast<int>(version().size()), version().data());
  return 0;
}

}  // namespace morbs
