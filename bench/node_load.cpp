// The query port of one node under load, as the client sees it: real
// requests (op_message, with its own waits) while silent connections are
// held open and reopened as the node closes them, and a burst of requests at
// once. Runs against the first node of client.config in the working
// directory (scripts/datanet up DIR; cd DIR; node_load).
//   node_load [SILENT [REAL [BURST]]]     defaults 100 100 200
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/session/config.h"
#include "core/wire/op_message.h"
#include "platform/tcp_socket.h"

namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Connections that never send a byte; one the node closes is opened again.
class SilentCrowd {
 public:
  SilentCrowd(const morbs::Settings& s, int count) : s_(s), sockets_(static_cast<size_t>(count)) {
    for (auto& socket : sockets_) open(socket);
    thread_ = std::thread([this] { keep(); });
  }
  ~SilentCrowd() {
    stop_ = true;
    thread_.join();
  }
  long reopened() const { return reopened_; }

 private:
  void open(morbs::platform::TcpSocket& socket) {
    socket = morbs::platform::TcpSocket();
    socket.open();
    socket.connect_within(s_.ip_addr, s_.init_port, 1, 0);
  }
  void keep() {
    while (!stop_) {
      std::vector<pollfd> polls;
      for (auto& socket : sockets_) polls.push_back({socket.fd(), POLLIN, 0});
      if (poll(polls.data(), polls.size(), 50) <= 0) continue;
      for (size_t i = 0; i < polls.size(); ++i)
        if (polls[i].revents) {
          open(sockets_[i]);
          ++reopened_;
        }
    }
  }
  const morbs::Settings& s_;
  std::vector<morbs::platform::TcpSocket> sockets_;
  std::atomic<bool> stop_{false};
  std::atomic<long> reopened_{0};
  std::thread thread_;
};

bool one_request(const morbs::Settings& s) {
  std::string message = "OP=timeprec&";
  return morbs::op_message(s.ip_addr, s.init_port, message, 0, s.connection_wait()) == 0;
}

void report(const char* what, int answered, int total, std::vector<double> times, double wall) {
  std::sort(times.begin(), times.end());
  auto at = [&](double q) { return times.empty() ? 0.0 : times[static_cast<size_t>(q * (times.size() - 1))]; };
  std::printf("%-44s answered %3d of %3d   per request ms: median %.1f  p99 %.1f  max %.1f   wall %.0f ms\n",
              what, answered, total, at(0.5), at(0.99), times.empty() ? 0.0 : times.back(), wall);
}

void sequential(const morbs::Settings& s, const char* what, int count) {
  std::vector<double> times;
  int answered = 0;
  const auto start = Clock::now();
  for (int i = 0; i < count; ++i) {
    const auto t = Clock::now();
    answered += one_request(s);
    times.push_back(ms_since(t));
  }
  report(what, answered, count, times, ms_since(start));
}

void burst(const morbs::Settings& s, const char* what, int count) {
  std::mutex m;
  std::condition_variable go;
  bool started = false;
  std::vector<double> times(static_cast<size_t>(count));
  std::atomic<int> answered{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < count; ++i)
    threads.emplace_back([&, i] {
      {
        std::unique_lock<std::mutex> lock(m);
        go.wait(lock, [&] { return started; });
      }
      const auto t = Clock::now();
      answered += one_request(s);
      times[static_cast<size_t>(i)] = ms_since(t);
    });
  const auto start = Clock::now();
  {
    std::lock_guard<std::mutex> lock(m);
    started = true;
  }
  go.notify_all();
  for (auto& t : threads) t.join();
  report(what, answered, count, times, ms_since(start));
}

}  // namespace

int main(int argc, char** argv) {
  const int silent = argc > 1 ? std::atoi(argv[1]) : 100;
  const int real = argc > 2 ? std::atoi(argv[2]) : 100;
  const int at_once = argc > 3 ? std::atoi(argv[3]) : 200;
  morbs::Settings s = morbs::Settings::defaults(morbs::Program::pullbox);
  morbs::read_config(s);
  if (!one_request(s)) {
    std::fprintf(stderr, "node_load: no node answers on %s:%d\n", s.ip_addr.c_str(), s.init_port);
    return 1;
  }
  std::printf("node %s:%d\n", s.ip_addr.c_str(), s.init_port);
  sequential(s, "real requests one after the other", real);
  burst(s, "real requests at once", at_once);
  {
    SilentCrowd crowd(s, silent);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    sequential(s, "... one after the other, silent crowd held", real);
    burst(s, "... at once, silent crowd held", at_once);
    std::printf("silent connections: %d held, %ld reopened after the node closed them\n", silent,
                crowd.reopened());
  }
  return 0;
}
