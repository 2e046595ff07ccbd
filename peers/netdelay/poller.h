// Waiting for many sockets at once (epoll): each watched descriptor has an
// object that is told what became possible.
#pragma once

#include "peers/netdelay/link_time.h"
#include "platform/file_region.h"

namespace morbs::netdelay {

struct Readiness {
  bool readable = false;  // data, end of stream or an error to read
  bool writable = false;  // room to write, a finished connect, or an error
  bool peer_closed = false;  // the end of stream (or an error) is there to read
};

class Watched {
 public:
  virtual void notice(Readiness readiness) = 0;

 protected:
  ~Watched() = default;
};

class Poller {
 public:
  Poller();
  bool ok() const { return static_cast<bool>(epoll_); }

  // Watches `fd` until it is closed. Edge-triggered: `watched` hears of a
  // change once and keeps the news until a read or write would block.
  // Otherwise (listeners) it hears as long as the descriptor stays ready.
  bool watch(int fd, Watched& watched, bool edge_triggered);

  // Waits up to `timeout` (0: only looks) and tells the watched objects.
  void wait(Micros timeout);

 private:
  platform::FileDescriptor epoll_;
};

}  // namespace morbs::netdelay
