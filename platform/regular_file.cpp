#include "platform/regular_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstring>

namespace morbs::platform {

bool is_regular_file(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

void remove_file(const std::string& path) { ::unlink(path.c_str()); }

int64_t size_of_file(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

std::string cause_of(int error) {
  std::string text = std::strerror(error);
  if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}

}  // namespace morbs::platform
