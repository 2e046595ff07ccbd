#include "platform/regular_file.h"

#include <sys/stat.h>
#include <unistd.h>

namespace morbs::platform {

bool is_regular_file(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

void remove_file(const std::string& path) { ::unlink(path.c_str()); }

}  // namespace morbs::platform
