// The query port: one scrambled request and one reply per connection.
//
// One event loop owns every connection: it accepts, reads the 512-byte
// request, and sends the reply, each step with a deadline, so silent or slow
// clients hold a slot for a short time only and never a thread. A few worker
// threads decode, answer and code. Everything is joined before serve()
// returns.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/wire/scrambler.h"
#include "peers/morbnode/node_log.h"
#include "peers/morbnode/node_store.h"
#include "peers/morbnode/options.h"

namespace morbs::node {

class QueryService {
 public:
  // `max_connections`: connections held at once (each one descriptor).
  // Every request read is appended to `log`.
  QueryService(const Options& options, NodeStore& store, NodeLog& log, int max_connections);
  ~QueryService();
  QueryService(const QueryService&) = delete;
  QueryService& operator=(const QueryService&) = delete;

  // False with the reason (e.g. the port is in use).
  bool listen(std::string& error);
  // Serves until `stop` turns true; returns with every connection closed.
  void serve(const std::atomic<bool>& stop);

 private:
  struct Job {
    uint64_t connection;
    MessageBlock block;
    std::chrono::steady_clock::time_point queued;
  };
  enum class Verdict { reply, close, hold };
  struct Done {
    uint64_t connection;
    Verdict verdict;
    MessageBlock block;  // the reply, when verdict is reply
    size_t size;         // bytes of it to send
  };
  class Loop;

  void work();
  Done answer_job(Job& job);

  const Options& options_;
  NodeStore& store_;
  NodeLog& log_;
  const int max_connections_;
  int listen_fd_ = -1;
  int wake_fds_[2] = {-1, -1};  // workers tell the loop that answers are ready

  std::mutex jobs_mutex_, done_mutex_;
  std::condition_variable jobs_ready_;
  std::deque<Job> jobs_;
  std::deque<Done> done_;
  bool workers_stop_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace morbs::node
