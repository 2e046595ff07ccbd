// The node exchange as the code above it sees it: one request, one reply.
// Planning and node queries ask through this seam, so their flows can be
// tried against a scripted data network without sockets.
#pragma once

#include <memory>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "core/report/reporter.h"
#include "core/session/settings.h"
#include "core/wire/op_message.h"

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
  // Where this exchange tells what goes wrong on the way; null when it tells
  // nobody. Questions asked side by side hold their lines and pass them here.
  virtual Reporter* reporter() { return nullptr; }
  // Whether the last ask that had no reply met the node's own refusal
  // ("I love you."): the request reached it and was not taken.
  virtual bool last_was_refusal() const { return false; }
};

// How many questions one run keeps open at one node at once. A node
// answers a few at a time; more only queue there and may outwait the
// client's answer wait.
inline constexpr int questions_per_node = 3;

// Over the network, with the run's connection wait; what goes wrong on
// the way is told to the reporter.
//
// A busy node is tried again (see busy_retry.h) for up to
// `wait.busy_retry_ms` (a refused connection for a second at most); only
// the last attempt's details are told, then a line on standard error (when
// details are shown) saying that the exchange gave up and why. A request
// that changes a list is sent again only when it never reached the node;
// its answer is awaited for that whole time instead. A node given up on
// because nothing took the connection is tried once per question for the
// rest of the run, so a node that is down costs the wait once, not at every
// question; one that took it and did not answer is busy, and keeps its
// retries. The exchanges made for other threads share one gate that holds
// each node to questions_per_node attempts at once.
class NetworkExchange final : public NodeExchange {
 public:
  NetworkExchange(ConnectionWait wait, Reporter& reporter);
  ~NetworkExchange() override;
  bool ask(std::string_view address, int port, std::string& message) override;
  std::unique_ptr<NodeExchange> for_another_thread(Reporter& reporter) override;
  Reporter* reporter() override { return &reporter_; }
  bool last_was_refusal() const override { return last_failure_ == ExchangeFailure::refusal; }

  class NodeGate;

 private:
  NetworkExchange(ConnectionWait wait, Reporter& reporter, std::shared_ptr<NodeGate> gate);
  long retry_window_ms(ExchangeFailure failure) const;

  ConnectionWait wait_;
  Reporter& reporter_;
  std::minstd_rand jitter_;
  std::set<std::pair<std::string, int>> given_up_;
  std::shared_ptr<NodeGate> gate_;
  ExchangeFailure last_failure_ = ExchangeFailure::none;
};

}  // namespace morbs
