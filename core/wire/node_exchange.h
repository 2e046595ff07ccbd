// The node exchange as the code above it sees it: one request, one reply.
// Planning and node queries ask through this seam, so their flows can be
// tried against a scripted data network without sockets.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "core/report/reporter.h"
#include "core/session/settings.h"

namespace morbs {

class NodeExchange {
 public:
  virtual ~NodeExchange() = default;
  // On entry `message` holds the request; true with the node's reply in
  // `message`, false when there was none (see op_message).
  virtual bool ask(std::string_view address, int port, std::string& message) = 0;
  // An exchange like this one for another thread, telling `reporter`; null
  // when this one cannot be asked from several threads (then one thread asks).
  virtual std::unique_ptr<NodeExchange> for_another_thread(Reporter& reporter) {
    (void)reporter;
    return nullptr;
  }
};

// Over the network, with the run's connection wait; what goes wrong on
// the way is told to the reporter.
class NetworkExchange final : public NodeExchange {
 public:
  NetworkExchange(ConnectionWait wait, Reporter& reporter) : wait_(wait), reporter_(reporter) {}
  bool ask(std::string_view address, int port, std::string& message) override;
  std::unique_ptr<NodeExchange> for_another_thread(Reporter& reporter) override {
    return std::make_unique<NetworkExchange>(wait_, reporter);
  }

 private:
  ConnectionWait wait_;
  Reporter& reporter_;
};

}  // namespace morbs
