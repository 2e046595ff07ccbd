#include "platform/instance_lock.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <utility>

namespace morbs::platform {

namespace {

// The descriptor never passes to a child: a child that outlived us would
// otherwise keep the marker.
int open_lock_file(const std::string& path) {
  // Readable by everyone, so that one user's marker also keeps out another's.
  int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  // A sticky /tmp may refuse O_CREAT on a file another user made; opening the
  // existing file is enough to lock it.
  if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  return fd;
}

}  // namespace

std::string instance_lock_path(const std::string& name) {
  const char* dir = std::getenv("MORBS_LOCK_DIR");
  std::string base = dir && *dir ? dir : "/tmp";
  return base + "/" + name + ".lock";
}

bool InstanceLock::acquire(const std::string& name) {
  release();
  FileDescriptor fd(open_lock_file(instance_lock_path(name)));
  if (!fd) return false;
  int rc;
  while ((rc = ::flock(fd.get(), LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  if (rc != 0) return false;
  fd_ = std::move(fd);
  return true;
}

void InstanceLock::release() { fd_.close(); }

}  // namespace morbs::platform
