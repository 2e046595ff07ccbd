// A UDP socket, owned: the name-server exchange is one datagram out and one
// back, with a bounded wait for the answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_descriptor.h"

namespace morbs::platform {

// Where a datagram came from, for a loopback responder to answer it.
struct UdpPeer {
  uint32_t address_in_network_order = 0;
  uint16_t port = 0;
};

class UdpSocket {
 public:
  UdpSocket() = default;

  // Creates an IPv4 datagram socket; 0, or the error code.
  int open();
  bool is_open() const { return static_cast<bool>(fd_); }

  // Sends one datagram to a dotted IPv4 address and from then on takes
  // datagrams from that peer only. 0, or the error code: EINVAL for a text
  // that is no IPv4 address, EHOSTUNREACH when the loopback guard refuses it.
  int send_to(std::string_view dotted_address, uint16_t port, std::span<const uint8_t> datagram);

  // Waits at most `wait_ms` for one datagram of up to `limit` bytes. Its size,
  // or -1 with the error code in `error` (ETIMEDOUT when nothing came).
  long receive(std::vector<uint8_t>& datagram, size_t limit, long wait_ms, int& error);

  // For responders in tests: listens on 127.0.0.1 (`port` 0: any free one).
  int bind_loopback(uint16_t port = 0);
  uint16_t local_port() const;

  // Like receive(), taking datagrams from anyone and telling who sent it.
  long receive_from(std::vector<uint8_t>& datagram, size_t limit, long wait_ms, UdpPeer& from,
                    int& error);
  // Answers a peer; the loopback guard applies. 0, or the error code.
  int reply_to(const UdpPeer& peer, std::span<const uint8_t> datagram);

  void close();

 private:
  FileDescriptor fd_;
};

// The process id, which names the queries this process sends.
int current_process_id();

}  // namespace morbs::platform
