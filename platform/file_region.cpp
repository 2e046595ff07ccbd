#include "platform/file_region.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>

namespace morbs::platform {

bool seek_to(int fd, int64_t offset) {
  return fd >= 0 && offset >= 0 && ::lseek(fd, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

FileDescriptor create_new_file(const std::string& path) {
  return FileDescriptor(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
}

FileDescriptor open_for_reading(const std::string& path) {
  return FileDescriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
}

FileDescriptor open_for_writing_at(const std::string& path, int64_t offset) {
  // Readable too: what a child wrote through it is read back and checked.
  FileDescriptor fd(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
  if (fd && !seek_to(fd.get(), offset)) fd.close();
  return fd;
}

FileDescriptor open_for_replacing(const std::string& path) {
  return FileDescriptor(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
}

int64_t size_of_open_file(int fd) {
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool rename_without_replacing(const std::string& from, const std::string& to) {
  return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
}

FileDescriptor create_nameless_file(const std::string& directory) {
  FileDescriptor fd(::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
  if (fd) return fd;
  // A file system without nameless files: a fresh name, gone at once.
  std::string name = directory + "/.morbs_scratch_XXXXXX";
  FileDescriptor named(::mkostemp(name.data(), O_CLOEXEC));
  if (named) ::unlink(name.c_str());
  return named;
}

std::optional<std::string> read_from_start(int fd) {
  std::string text;
  char block[65536];
  for (off_t at = 0;;) {
    const ssize_t n = ::pread(fd, block, sizeof block, at);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (n == 0) return text;
    text.append(block, static_cast<size_t>(n));
    at += n;
  }
}

bool write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

}  // namespace morbs::platform
