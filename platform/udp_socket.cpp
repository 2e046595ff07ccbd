#include "platform/udp_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/address_guard.h"

namespace morbs::platform {

namespace {

sockaddr_in make_address(uint32_t address_in_network_order, uint16_t port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = address_in_network_order;
  addr.sin_port = htons(port);
  return addr;
}

// Waits for a datagram; 0 when one is there, else the error code.
int wait_readable(int fd, long wait_ms) {
  if (wait_ms < 0) wait_ms = 0;
  pollfd p{fd, POLLIN, 0};
  int ready;
  do {
    ready = poll(&p, 1, static_cast<int>(wait_ms));
  } while (ready < 0 && errno == EINTR);
  if (ready < 0) return errno;
  return ready == 0 ? ETIMEDOUT : 0;
}

}  // namespace


int UdpSocket::open() {
  close();
  fd_ = FileDescriptor(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  return fd_ ? 0 : errno;
}

int UdpSocket::send_to(std::string_view dotted_address, uint16_t port,
                       std::span<const uint8_t> datagram) {
  if (!fd_) return EBADF;
  in_addr parsed{};
  std::string text(dotted_address);
  if (inet_pton(AF_INET, text.c_str(), &parsed) != 1) return EINVAL;
  if (!address_allowed(parsed.s_addr)) return EHOSTUNREACH;
  // Connected, the socket hears only this peer, and a closed port shows up
  // as ECONNREFUSED at once instead of as a silent wait.
  sockaddr_in addr = make_address(parsed.s_addr, port);
  if (::connect(fd_.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return errno;
  if (::send(fd_.get(), datagram.data(), datagram.size(), MSG_NOSIGNAL) < 0) return errno;
  return 0;
}

long UdpSocket::receive(std::vector<uint8_t>& datagram, size_t limit, long wait_ms, int& error) {
  datagram.clear();
  error = !fd_ ? EBADF : wait_readable(fd_.get(), wait_ms);
  if (error != 0) return -1;
  datagram.resize(limit);
  ssize_t got = ::recv(fd_.get(), datagram.data(), datagram.size(), MSG_DONTWAIT);
  if (got < 0) {
    error = errno;
    datagram.clear();
    return -1;
  }
  datagram.resize(static_cast<size_t>(got));
  return static_cast<long>(got);
}

int UdpSocket::bind_loopback(uint16_t port) {
  if (!fd_) return EBADF;
  sockaddr_in addr = make_address(htonl(INADDR_LOOPBACK), port);
  return ::bind(fd_.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 ? 0 : errno;
}

uint16_t UdpSocket::local_port() const {
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  if (!fd_ || getsockname(fd_.get(), reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
  return ntohs(addr.sin_port);
}

long UdpSocket::receive_from(std::vector<uint8_t>& datagram, size_t limit, long wait_ms,
                             UdpPeer& from, int& error) {
  datagram.clear();
  error = !fd_ ? EBADF : wait_readable(fd_.get(), wait_ms);
  if (error != 0) return -1;
  datagram.resize(limit);
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  ssize_t got = ::recvfrom(fd_.get(), datagram.data(), datagram.size(), MSG_DONTWAIT,
                           reinterpret_cast<sockaddr*>(&addr), &len);
  if (got < 0) {
    error = errno;
    datagram.clear();
    return -1;
  }
  datagram.resize(static_cast<size_t>(got));
  from = {addr.sin_addr.s_addr, ntohs(addr.sin_port)};
  return static_cast<long>(got);
}

int UdpSocket::reply_to(const UdpPeer& peer, std::span<const uint8_t> datagram) {
  if (!fd_) return EBADF;
  if (!address_allowed(peer.address_in_network_order)) return EHOSTUNREACH;
  sockaddr_in addr = make_address(peer.address_in_network_order, peer.port);
  ssize_t sent = ::sendto(fd_.get(), datagram.data(), datagram.size(), MSG_NOSIGNAL,
                          reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  return sent < 0 ? errno : 0;
}

void UdpSocket::close() {
  fd_.close();
}

int current_process_id() { return static_cast<int>(::getpid()); }

}  // namespace morbs::platform
