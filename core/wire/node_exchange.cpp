#include "core/wire/node_exchange.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "core/wire/busy_retry.h"
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
    : wait_(wait), reporter_(reporter), jitter_(std::random_device{}()), gate_(std::move(gate)) {}

NetworkExchange::~NetworkExchange() = default;

std::unique_ptr<NodeExchange> NetworkExchange::for_another_thread(Reporter& reporter) {
  return std::unique_ptr<NodeExchange>(new NetworkExchange(wait_, reporter, gate_));
}

long NetworkExchange::retry_window_ms(ExchangeFailure failure) const {
  // Nothing listening is a node starting again more often than a busy one,
  // which keeps new connections waiting in its backlog: a short while only.
  constexpr long refused_window_ms = 1000;
  if (failure == ExchangeFailure::connection_refused && wait_.busy_retry_ms > refused_window_ms)
    return refused_window_ms;
  return wait_.busy_retry_ms;
}

bool NetworkExchange::ask(std::string_view address, int port, std::string& message) {
  using Clock = std::chrono::steady_clock;
  const std::string request = message;
  const std::pair<std::string, int> node{std::string(address), port};
  const bool once = wait_.busy_retry_ms <= 0 || given_up_.count(node) > 0;
  const bool changes = changes_a_list(request);
  ConnectionWait wait = wait_;
  if (changes && !once && wait.answer_ms < wait.busy_retry_ms) wait.answer_ms = wait.busy_retry_ms;
  const auto started = Clock::now();
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int attempt = 1;; ++attempt) {
    message = request;
    // Held back: the texts of a failed attempt are told only when it is the last.
    RecordingReporter held(reporter_.details_shown());
    ExchangeFailure failure = ExchangeFailure::none;
    gate_->enter(address, port);
    const int result = op_message(address, port, message, &held, wait, &failure);
    gate_->leave(address, port);
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
    const int pause = busy_pause_ms(attempt + 1, unit(jitter_));
    const bool again = !once && worth_retrying(failure) && !(changes && maybe_delivered(failure)) &&
                       spent + pause < retry_window_ms(failure);
    if (again) {
      std::this_thread::sleep_for(std::chrono::milliseconds(pause));
      // A node that took the request and answered late is working through
      // a queue: each attempt waits twice as long for its answer, so that
      // asking again adds little to that queue, never past the retry time.
      if (maybe_delivered(failure)) {
        const long floor_ms = wait_.answer_ms > 0 ? wait_.answer_ms : 300;
        const long left_ms = wait_.busy_retry_ms - (spent + pause);
        const long grown_ms = floor_ms << std::min(attempt, 6);
        wait.answer_ms = std::max(floor_ms, std::min(grown_ms, left_ms));
      }
      continue;
    }
    if (!held.said.empty()) reporter_.detail(held.said);
    last_failure_ = failure;
    if (failure == ExchangeFailure::none) given_up_.erase(node);
    if (!once && worth_retrying(failure)) {
      if (not_connected(failure)) given_up_.insert(node);
      reporter_.error_detail(format_text("node %s:%d busy or down: gave up after %d attempts in %.1f s (%s)\n",
                                   node.first.c_str(), port, attempt, static_cast<double>(spent) / 1000.0,
                                   failure_text(failure).c_str()));
    }
    return result == 0;
  }
}

}  // namespace morbs
