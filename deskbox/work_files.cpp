#include "deskbox/work_files.h"

#include <filesystem>

#include "platform/clock.h"

namespace morbs::deskbox {

bool file_exists(const std::string& name) {
  std::error_code error;
  return std::filesystem::exists(name, error);
}

void pause_milliseconds(long ms) { platform::sleep_microseconds(ms * 1000); }

}  // namespace morbs::deskbox
