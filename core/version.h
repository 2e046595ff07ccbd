// The project's version, which every program reports for "--version".
#pragma once

#include <string>
#include <string_view>

namespace morbs {

// MAJOR.MINOR.PATCH, as the build was told it (the project's VERSION).
std::string_view version();

// True for exactly one argument, "--version". Every program checks this
// before anything else, so that each of its other argument lists keeps the
// answer it always had.
bool asks_for_version(int argc, const char* const* argv);

// "PROGRAM VERSION" and a line end: what a program prints for "--version"
// (nothing below the programs prints).
std::string version_text(std::string_view program);

}  // namespace morbs
