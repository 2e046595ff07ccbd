// The forwarding proxy: listeners on loopback ports, a relay for each
// accepted connection, one thread and one poller for all of them.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "peers/netdelay/link.h"
#include "peers/netdelay/poller.h"
#include "peers/netdelay/proxy_options.h"
#include "peers/netdelay/relay.h"
#include "platform/loopback_listener.h"

namespace morbs::netdelay {

class Proxy {
 public:
  // At most `max_relays` connections at once; one more is reset at once.
  Proxy(const ProxyOptions& options, size_t max_relays);

  // Listens on every forwarded port; false with the reason in `error`.
  bool listen(std::string& error);
  // Forwards until `stop` is set.
  void serve(const std::atomic<bool>& stop);

 private:
  struct Listener : Watched {
    platform::LoopbackListener socket;
    int target_port = 0;
    bool pending = false;
    void notice(Readiness r) override { pending = pending || r.readable; }
  };

  void accept_from(Listener& listener, Micros now);
  Outlook advance_relays(Micros now);

  ProxyOptions options_;
  size_t max_relays_;
  Poller poller_;
  Link link_;
  std::vector<std::unique_ptr<Listener>> listeners_;
  std::vector<std::unique_ptr<Relay>> relays_;
  size_t turn_ = 0;  // which relay goes first, so none is always last for the rate
};

}  // namespace morbs::netdelay
