#include "platform/tcp_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
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

TcpSocket TcpSocket::adopt(int fd) {
  TcpSocket s;
  s.fd_ = FileDescriptor(fd);
  return s;
}

bool TcpSocket::open() {
  close();
  fd_ = FileDescriptor(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  return static_cast<bool>(fd_);
}

bool TcpSocket::set_receive_timeout(long microseconds) {
  timeval tv = to_timeval(microseconds);
  return setsockopt(fd_.get(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0;
}

bool TcpSocket::set_send_timeout(long microseconds) {
  timeval tv = to_timeval(microseconds);
  return setsockopt(fd_.get(), SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) == 0;
}

bool TcpSocket::set_nonblocking(bool on) {
  int flags = fcntl(fd_.get(), F_GETFL, 0);
  if (flags < 0) return false;
  flags = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  return fcntl(fd_.get(), F_SETFL, flags) == 0;
}

void TcpSocket::start_connect(std::string_view dotted_address, int port) {
  sockaddr_in addr{};
  connect_error_ = 0;
  if (!make_address(dotted_address, port, addr)) {
    connect_error_ = EINVAL;
  } else if (!address_allowed(addr.sin_addr.s_addr)) {
    connect_error_ = EHOSTUNREACH;
  } else if (::connect(fd_.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 &&
             errno != EINPROGRESS) {
    // Failed at once: an unconnected socket would look writable afterwards.
    connect_error_ = errno;
  }
}

bool TcpSocket::connect_within(std::string_view dotted_address, int port, long seconds,
                               long microseconds) {
  // The same steps as every node exchange: start without blocking, wait.
  if (!set_nonblocking(true)) return false;
  start_connect(dotted_address, port);
  if (!wait_writable(seconds, microseconds)) return false;
  return set_nonblocking(false);
}

bool TcpSocket::wait_writable(long seconds, long microseconds) {
  if (!fd_) {
    errno = EBADF;
    return false;
  }
  if (connect_error_ != 0) {
    errno = connect_error_;
    return false;
  }
  pollfd p{fd_.get(), POLLOUT, 0};
  const long total_us = seconds < 0 || microseconds < 0 ? 0 : seconds * 1000000 + microseconds;
  const timespec wait{total_us / 1000000, (total_us % 1000000) * 1000};
  int ready;
  do {
    ready = ppoll(&p, 1, &wait, nullptr);
  } while (ready < 0 && errno == EINTR);
  if (ready == 0) errno = ETIMEDOUT;
  if (ready <= 0) return false;
  int error = 0;
  socklen_t len = sizeof error;
  if (getsockopt(fd_.get(), SOL_SOCKET, SO_ERROR, &error, &len) != 0) return false;
  if (error != 0 || (p.revents & POLLOUT) == 0) {
    errno = error != 0 ? error : ECONNREFUSED;
    return false;
  }
  return true;
}

bool TcpSocket::wait_readable(long milliseconds) {
  pollfd p{fd_.get(), POLLIN, 0};
  return poll(&p, 1, static_cast<int>(milliseconds)) > 0;
}

long TcpSocket::send_once(const void* data, size_t size) {
  return static_cast<long>(::send(fd_.get(), data, size, MSG_NOSIGNAL));
}

long TcpSocket::receive_all(void* data, size_t size) {
  return static_cast<long>(::recv(fd_.get(), data, size, MSG_WAITALL));
}

void TcpSocket::close() {
  fd_.close();
  connect_error_ = 0;
}

std::string error_text() { return std::strerror(errno); }

}  // namespace morbs::platform
