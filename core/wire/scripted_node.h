// Test support: a node on loopback that answers each connection by a script,
// so the exchange can be tried against every way a node misbehaves.
#pragma once

#include <array>
#include <atomic>
#include <random>
#include <memory>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/wire/query_string.h"
#include "core/wire/scrambler.h"
#include "core/wire/wire.h"
#include "platform/clock.h"
#include "platform/loopback_listener.h"

namespace morbs::testing {

class ScriptedNode {
 public:
  enum class Behaviour { answer, refuse, answer_late, close_silently };

  // `reply` maps the decoded request to the reply text.
  // On `port` (0: any free port); listening() tells whether it got it.
  // `misbehaving`: how many connections, the first ones, meet `behaviour`
  // before the node answers as it should (-1: all), as a busy node does.
  explicit ScriptedNode(std::function<std::string(const std::string&)> reply,
                        Behaviour behaviour = Behaviour::answer, long delay_ms = 0, int port = 0,
                        int misbehaving = -1)
      : reply_(std::move(reply)), behaviour_(behaviour), delay_ms_(delay_ms), misbehaving_(misbehaving) {
    listener_.listen(port);
    thread_ = std::thread([this] { serve(); });
  }
  bool listening() const { return listener_.port() != 0; }
  ~ScriptedNode() {
    stop_ = true;
    thread_.join();
  }
  int port() const { return listener_.port(); }
  std::vector<std::string> requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

 private:
  void serve() {
    while (!stop_) {
      auto client = listener_.accept(50);
      if (!client) continue;
      MessageBlock block{};
      client->set_receive_timeout(2000000);
      if (client->receive_all(block.data(), block.size()) != static_cast<long>(block.size()))
        continue;
      PlainBlock plain{};
      decodeV1(block, 0, plain);
      std::string request(until_nul(std::string_view(plain.data(), plain.size())));
      {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
      }
      const Behaviour behaviour = misbehaving_ < 0 || misbehaving_-- > 0 ? behaviour_ : Behaviour::answer;
      if (behaviour == Behaviour::close_silently) continue;
      if (behaviour == Behaviour::answer_late)
        std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms_));
      MessageBlock answer{};
      // A reply of the refusal text itself goes out raw, as a node refuses.
      std::string text = behaviour == Behaviour::refuse ? std::string(wire::refusal) : reply_(request);
      if (text == wire::refusal) {
        std::copy(wire::refusal.begin(), wire::refusal.end(), answer.begin());
      } else {
        codeV1(text, 0, answer);
      }
      client->send_once(answer.data(), answer.size());
    }
  }

  std::function<std::string(const std::string&)> reply_;
  Behaviour behaviour_;
  long delay_ms_;
  int misbehaving_;
  platform::LoopbackListener listener_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

// Four scripted nodes on consecutive free ports; a null reply leaves a port
// silent.
class FourNodes {
 public:
  using Reply = std::function<std::string(const std::string&)>;
  explicit FourNodes(std::array<Reply, 4> replies, std::array<ScriptedNode::Behaviour, 4> behaviours = {}) {
    std::mt19937 random(std::random_device{}());
    for (int attempt = 0; attempt < 20 && !ready(); ++attempt) {
      nodes_ = {};
      base_ = 20000 + static_cast<int>(random() % 40000);
      ok_ = true;
      for (int i = 0; i < 4; ++i) {
        if (!replies[i]) continue;
        nodes_[i] = std::make_unique<ScriptedNode>(replies[i], behaviours[i], 0, base_ + i);
        ok_ = ok_ && nodes_[i]->listening();
      }
    }
  }
  bool ready() const { return ok_; }
  int base() const { return base_; }
  ScriptedNode& node(int i) { return *nodes_[i]; }

 private:
  std::array<std::unique_ptr<ScriptedNode>, 4> nodes_;
  int base_ = 0;
  bool ok_ = false;
};

}  // namespace morbs::testing
