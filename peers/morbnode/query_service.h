// The query port: one scrambled request and one reply per connection.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "peers/morbnode/node_store.h"
#include "peers/morbnode/options.h"
#include "platform/loopback_listener.h"

namespace morbs::node {

class QueryService {
 public:
  QueryService(const Options& options, NodeStore& store) : options_(options), store_(store) {}

  // False with the reason (e.g. the port is in use).
  bool listen(std::string& error);
  // Serves until `stop` turns true.
  void serve(const std::atomic<bool>& stop);

 private:
  void handle(platform::TcpSocket client, const std::atomic<bool>& stop);
  void log(const std::string& request);

  const Options& options_;
  NodeStore& store_;
  platform::LoopbackListener listener_;
  std::mutex state_mutex_, log_mutex_, scrambler_mutex_;
  std::atomic<int> running_{0};
};

}  // namespace morbs::node
