// A TCP client socket, owned: the steps of one node exchange, each one call,
// so that the exchange code reads as its steps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_descriptor.h"

namespace morbs::platform {

class TcpSocket {
 public:
  TcpSocket() = default;

  // Creates an IPv4 stream socket; false (with errno set) on failure.
  bool open();
  bool is_open() const { return static_cast<bool>(fd_); }

  bool set_receive_timeout(long microseconds);
  bool set_send_timeout(long microseconds);
  bool set_nonblocking(bool on);

  // Starts connecting to a dotted IPv4 address. An address that is not a
  // dotted IPv4 text, or that the loopback guard refuses, starts nothing and
  // makes wait_writable() fail as for an unreachable peer.
  void start_connect(std::string_view dotted_address, int port);

  // start_connect and wait_writable on a non-blocking socket: the one connect
  // path of every exchange, with the outcome in errno. The socket is blocking
  // again afterwards when it connected.
  bool connect_within(std::string_view dotted_address, int port, long seconds,
                      long microseconds);

  // Waits until the connection is writable; false when it is not within the
  // wait or when it failed, with errno set: ETIMEDOUT when the wait ran out,
  // EHOSTUNREACH for a guarded address, EINVAL for a bad one, else the
  // connection's own error (SO_ERROR).
  bool wait_writable(long seconds, long microseconds);

  // Waits until data (or end of stream) can be read; false on time-out.
  bool wait_readable(long milliseconds);

  // One send call that never raises SIGPIPE. Bytes sent, or -1.
  long send_once(const void* data, size_t size);

  // One receive call asking for the full size (MSG_WAITALL). Bytes received
  // (0 at end of stream), or -1 (time-out included).
  long receive_all(void* data, size_t size);

  void close();
  int fd() const { return fd_.get(); }

  // Adopts an accepted connection.
  static TcpSocket adopt(int fd);

 private:
  FileDescriptor fd_;
  int connect_error_ = 0;  // set by start_connect when it could not start
};

// The text of errno, as perror would print it after "prefix: ".
std::string error_text();

}  // namespace morbs::platform
