// A TCP listener on 127.0.0.1, for peers that stand in for the nodes.
#pragma once

#include <optional>

#include "platform/file_descriptor.h"
#include "platform/tcp_socket.h"

namespace morbs::platform {

class LoopbackListener {
 public:
  LoopbackListener() = default;

  // Listens on `port` (0: any free port). False when it cannot.
  bool listen(int port = 0);
  int port() const { return port_; }
  // For a poller; -1 when not listening.
  int fd() const { return fd_.get(); }

  // The next connection, or nullopt when none came within the wait.
  std::optional<TcpSocket> accept(long timeout_ms);

  void close();

 private:
  FileDescriptor fd_;
  int port_ = 0;
};

}  // namespace morbs::platform
