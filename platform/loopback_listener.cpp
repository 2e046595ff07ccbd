#include "platform/loopback_listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace morbs::platform {

bool LoopbackListener::listen(int port) {
  close();
  fd_ = FileDescriptor(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd_) return false;
  int one = 1;
  setsockopt(fd_.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  socklen_t len = sizeof addr;
  if (::bind(fd_.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(fd_.get(), 64) != 0 ||
      getsockname(fd_.get(), reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    close();
    return false;
  }
  port_ = ntohs(addr.sin_port);
  return true;
}

std::optional<TcpSocket> LoopbackListener::accept(long timeout_ms) {
  pollfd p{fd_.get(), POLLIN, 0};
  if (!fd_ || poll(&p, 1, static_cast<int>(timeout_ms)) <= 0) return std::nullopt;
  int client = ::accept4(fd_.get(), nullptr, nullptr, SOCK_CLOEXEC);
  if (client < 0) return std::nullopt;
  return TcpSocket::adopt(client);
}

void LoopbackListener::close() {
  fd_.close();
  port_ = 0;
}

}  // namespace morbs::platform
