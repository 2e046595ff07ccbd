#include "platform/held_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace morbs::platform {

std::optional<HeldFile> HeldFile::hold(const std::string& path, bool create) {
  const int flags = O_RDWR | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0);
  FileDescriptor fd(::open(path.c_str(), flags, 0644));
  if (!fd) return std::nullopt;
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return std::nullopt;
  return HeldFile(std::move(fd));
}

bool HeldFile::held_elsewhere(const std::string& path) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (!fd) return false;
  return ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

bool HeldFile::is_regular() const {
  struct stat st{};
  return ::fstat(fd_.get(), &st) == 0 && S_ISREG(st.st_mode);
}

bool HeldFile::has_content() const {
  struct stat st{};
  return ::fstat(fd_.get(), &st) == 0 && st.st_size > 0;
}

bool HeldFile::clear() { return ::ftruncate(fd_.get(), 0) == 0; }

}  // namespace morbs::platform
