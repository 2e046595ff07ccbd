#include "core/wire/node_exchange.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>

#include "core/wire/op_message.h"

namespace morbs {

class NetworkExchange::NodeGate {
 public:
  void enter(std::string_view address, int port) {
    std::unique_lock<std::mutex> lock(mutex_);
    int& open = open_[key(address, port)];
    freed_.wait(lock, [&] { return open < questions_per_node; });
    ++open;
  }
  void leave(std::string_view address, int port) {
    std::lock_guard<std::mutex> lock(mutex_);
    --open_[key(address, port)];
    freed_.notify_all();
  }

 private:
  static std::string key(std::string_view address, int port) { return std::string(address) + ":" + std::to_string(port); }
  std::mutex mutex_;
  std::condition_variable freed_;
  std::map<std::string, int> open_;
};

NetworkExchange::NetworkExchange(ConnectionWait wait, Reporter& reporter)
    : NetworkExchange(wait, reporter, std::make_shared<NodeGate>()) {}

NetworkExchange::NetworkExchange(ConnectionWait wait, Reporter& reporter, std::shared_ptr<NodeGate> gate)
    : wait_(wait), reporter_(reporter), gate_(std::move(gate)) {}

NetworkExchange::~NetworkExchange() = default;

bool NetworkExchange::ask(std::string_view address, int port, std::string& message) {
  gate_->enter(address, port);
  const bool answered = op_message(address, port, message, &reporter_, wait_) == 0;
  gate_->leave(address, port);
  return answered;
}

std::unique_ptr<NodeExchange> NetworkExchange::for_another_thread(Reporter& reporter) {
  return std::unique_ptr<NodeExchange>(new NetworkExchange(wait_, reporter, gate_));
}

}  // namespace morbs
