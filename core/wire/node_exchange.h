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

// How many questions one run keeps open at one node at once. A node
// answers a few at a time; more only queue there and may outwait the
// client's answer wait.
inline constexpr int questions_per_node = 3;

// Over the network, with the run's connection wait; what goes wrong on
// the way is told to the reporter. The exchanges made for other threads
// share one gate that holds each node to questions_per_node at once.
class NetworkExchange final : public NodeExchange {
 public:
  NetworkExchange(ConnectionWait wait, Reporter& reporter);
  ~NetworkExchange() override;
  bool ask(std::string_view address, int port, std::string& message) override;
  std::unique_ptr<NodeExchange> for_another_thread(Reporter& reporter) override;

  class NodeGate;

 private:
  NetworkExchange(ConnectionWait wait, Reporter& reporter, std::shared_ptr<NodeGate> gate);
  ConnectionWait wait_;
  Reporter& reporter_;
  std::shared_ptr<NodeGate> gate_;
};

}  // namespace morbs
