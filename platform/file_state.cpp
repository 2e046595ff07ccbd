#include "platform/file_state.h"

#include <sys/stat.h>

namespace morbs::platform {

namespace {

FileState from(const struct stat& st) {
  const auto ns = [](const timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; };
  return FileState{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                   static_cast<int64_t>(st.st_size), ns(st.st_mtim), ns(st.st_ctim)};
}

}  // namespace

std::optional<FileState> state_of(int fd) {
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) return std::nullopt;
  return from(st);
}

std::optional<FileState> state_at(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return from(st);
}

}  // namespace morbs::platform
