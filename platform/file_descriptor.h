// An open descriptor of the kernel (a file, a socket, a lock, a terminal),
// closed when its holder goes. Every class that owns one holds one of these.
#pragma once

namespace morbs::platform {

class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd < 0 ? -1 : fd) {}
  ~FileDescriptor();
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  // False when something written did not reach the file.
  bool close();

 private:
  int fd_ = -1;
};

}  // namespace morbs::platform
