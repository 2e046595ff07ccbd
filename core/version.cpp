#include "core/version.h"

#ifndef MORBS_VERSION
#error "MORBS_VERSION comes from the build (core/CMakeLists.txt)"
#endif

namespace morbs {

std::string_view version() { return MORBS_VERSION; }

bool asks_for_version(int argc, const char* const* argv) {
  return argc == 2 && std::string_view(argv[1]) == "--version";
}

std::string version_text(std::string_view program) {
  return std::string(program) + " " + std::string(version()) + "\n";
}

}  // namespace morbs
