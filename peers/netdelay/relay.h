// One client's connection and the proxy's connection to its target, with a
// delay line each way. Sockets are non-blocking and watched edge-triggered:
// each side remembers whether it may be read or written until a call would
// block, and advance() moves what can move.
#pragma once

#include <optional>

#include "peers/netdelay/delay_line.h"
#include "peers/netdelay/link.h"
#include "peers/netdelay/poller.h"
#include "platform/tcp_socket.h"

namespace morbs::netdelay {

class Endpoint : public Watched {
 public:
  platform::TcpSocket socket;
  bool readable = false;
  bool writable = false;
  bool peer_closed = false;  // no event will come for what is left to read
  void notice(Readiness r) override {
    readable = readable || r.readable;
    writable = writable || r.writable;
    peer_closed = peer_closed || r.peer_closed;
  }
};

// What a relay needs next.
struct Outlook {
  bool finished = false;
  bool busy = false;             // can move more at once, without waiting
  std::optional<Micros> wake_at;  // has something to do at that time
};

class Relay {
 public:
  // `client` is a fresh accepted connection; the target is connected to once
  // the link's connect delay has passed.
  Relay(platform::TcpSocket client, int target_port, Link& link, Poller& poller, Micros now);
  Relay(const Relay&) = delete;
  Relay& operator=(const Relay&) = delete;
  ~Relay();

  bool watch_client();
  Outlook advance(Micros now);

 private:
  struct Way {
    Endpoint& from;
    Endpoint& to;
    DelayLine line;
    std::optional<TokenBucket>& rate;
    bool ended = false;  // the source sent its end of stream
    bool shut = false;   // and that end was passed on
  };

  void open_target();
  void check_connected();
  void flow(Way& way, Micros now);
  void read_some(Way& way, Micros now);
  void send_due(Way& way, Micros now);
  bool may_read(Way& way, Micros now);
  void outlook_of(Way& way, Micros now, Outlook& outlook);
  void fail() { failed_ = true; }

  Link& link_;
  Poller& poller_;
  int target_port_;
  Micros open_at_;
  Endpoint client_, target_;
  bool target_opened_ = false;
  bool target_connected_ = false;
  bool failed_ = false;
  Way up_, down_;
};

}  // namespace morbs::netdelay
