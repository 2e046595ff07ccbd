#include "platform/tcp_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/address_guard.h"

namespace morbs::platform {

namespace {

bool make_address(std::string_view dotted, int port, sockaddr_in& out) {
  std::string text(dotted);
  std::memset(&out, 0, sizeof out);
  out.sin_family = AF_INET;
  out.sin_port = htons(static_cast<uint16_t>(port & 0xFFFF));
  return inet_pton(AF_INET, text.c_str(), &out.sin_addr) == 1;
}

timeval to_timeval(long microseconds) {
  return timeval{microseconds / 1000000, microseconds % 1000000};
}

}  // namespace

TcpSocket::~TcpSocket() { close(); }

TcpSocket::TcpSocket(TcpSocket&& other) noexcept
    : fd_(other.fd_), connect_refused_(other.connect_refused_) {
  other.fd_ = -1;
}

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.fd_;
    connect_refused_ = other.connect_refused_;
    other.fd_ = -1;
  }
  return *this;
}

TcpSocket TcpSocket::adopt(int fd) {
  TcpSocket s;
  s.fd_ = fd;
  return s;
}

bool TcpSocket::open() {
  close();
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  return fd_ >= 0;
}

bool TcpSocket::set_receive_timeout(long microseconds) {
  timeval tv = to_timeval(microseconds);
  return setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0;
}

bool TcpSocket::set_send_timeout(long microseconds) {
  timeval tv = to_timeval(microseconds);
  return setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) == 0;
}

bool TcpSocket::set_nonblocking(bool on) {
  int flags = fcntl(fd_, F_GETFL, 0);
  if (flags < 0) return false;
  flags = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  return fcntl(fd_, F_SETFL, flags) == 0;
}

void TcpSocket::start_connect(std::string_view dotted_address, int port) {
  sockaddr_in addr{};
  connect_refused_ = !make_address(dotted_address, port, addr) ||
                     !address_allowed(addr.sin_addr.s_addr);
  if (connect_refused_) return;
  (void)::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
}

bool TcpSocket::connect_within(std::string_view dotted_address, int port, long seconds,
                               long microseconds) {
  sockaddr_in addr{};
  if (!make_address(dotted_address, port, addr)) {
    errno = EINVAL;
    return false;
  }
  if (!address_allowed(addr.sin_addr.s_addr)) {
    errno = EHOSTUNREACH;
    return false;
  }
  if (!set_nonblocking(true)) return false;
  int rc = ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  if (rc != 0 && errno != EINPROGRESS) return false;
  if (rc != 0) {
    pollfd p{fd_, POLLOUT, 0};
    long wait_ms = seconds * 1000 + microseconds / 1000;
    int ready = poll(&p, 1, static_cast<int>(wait_ms < 0 ? 0 : wait_ms));
    if (ready <= 0) {
      errno = ready == 0 ? ETIMEDOUT : errno;
      return false;
    }
    int error = 0;
    socklen_t len = sizeof error;
    if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &len) != 0) return false;
    if (error != 0) {
      errno = error;
      return false;
    }
  }
  return set_nonblocking(false);
}

bool TcpSocket::wait_writable(long seconds, long microseconds) {
  if (fd_ < 0 || connect_refused_ || fd_ >= FD_SETSIZE) return false;
  fd_set write_set, except_set;
  FD_ZERO(&write_set);
  FD_ZERO(&except_set);
  FD_SET(fd_, &write_set);
  FD_SET(fd_, &except_set);
  timeval tv{seconds, microseconds};
  if (select(fd_ + 1, nullptr, &write_set, &except_set, &tv) <= 0) return false;
  if (!FD_ISSET(fd_, &write_set)) return false;
  int error = 0;
  socklen_t len = sizeof error;
  if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &len) != 0) return false;
  return error == 0;
}

bool TcpSocket::wait_readable(long milliseconds) {
  pollfd p{fd_, POLLIN, 0};
  return poll(&p, 1, static_cast<int>(milliseconds)) > 0;
}

long TcpSocket::send_once(const void* data, size_t size) {
  return static_cast<long>(::send(fd_, data, size, MSG_NOSIGNAL));
}

long TcpSocket::receive_all(void* data, size_t size) {
  return static_cast<long>(::recv(fd_, data, size, MSG_WAITALL));
}

void TcpSocket::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  connect_refused_ = false;
}

std::string error_text() { return std::strerror(errno); }

}  // namespace morbs::platform
