#include "platform/file_descriptor.h"

#include <unistd.h>

namespace morbs::platform {

FileDescriptor::~FileDescriptor() { close(); }

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool FileDescriptor::close() {
  if (fd_ < 0) return true;
  const bool ok = ::close(fd_) == 0;
  fd_ = -1;
  return ok;
}

}  // namespace morbs::platform
