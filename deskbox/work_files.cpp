#include "deskbox/work_files.h"

#include <cstdio>
#include <filesystem>

#include "platform/clock.h"

namespace morbs::deskbox {

void remove_file(const std::string& name) { std::remove(name.c_str()); }

bool file_exists(const std::string& name) {
  std::error_code error;
  return std::filesystem::exists(name, error);
}

void pause_milliseconds(long ms) { platform::sleep_microseconds(ms * 1000); }

}  // namespace morbs::deskbox
