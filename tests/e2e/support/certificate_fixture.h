// One real certificate per test run: gatekeep takes two seconds by design,
// so it writes once and every test gets a copy.
#pragma once

#include <filesystem>
#include <string>

namespace morbs::e2e {

// The local id the copies carry (the session identity `uid32`).
inline const std::string certificate_user = "user01";

// Copies today's crt.tmp for `certificate_user` into `dir`.
void copy_certificate_to(const std::filesystem::path& dir);

// Where a built program lives.
std::string program(const std::string& name);

}  // namespace morbs::e2e
