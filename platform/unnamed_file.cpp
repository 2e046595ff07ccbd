#include "platform/unnamed_file.h"

#include <fcntl.h>
#include <cerrno>
#include <unistd.h>

#include "platform/file_region.h"

namespace morbs::platform {

FileDescriptor create_unnamed_file(const std::string& directory) {
  return FileDescriptor(::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666));
}

std::string path_of_descriptor(int fd) {
  // By process id, not "self": a child that opens it sees the parent's file.
  return "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(fd);
}

FileDescriptor reopen_at(int fd, int64_t offset) {
  FileDescriptor again(::open(path_of_descriptor(fd).c_str(), O_RDWR | O_CLOEXEC));
  if (again && !seek_to(again.get(), offset)) again.close();
  return again;
}

bool link_into_place(int fd, const std::string& path) {
  if (::linkat(AT_FDCWD, path_of_descriptor(fd).c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
  if (errno == EEXIST) return false;
  // Without /proc, where the process may link by descriptor itself.
  return ::linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0;
}

}  // namespace morbs::platform
