#include "core/wire/exchange_tasks.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/report/held_reporter.h"

namespace morbs {

void run_exchange_tasks(size_t count, int width, NodeExchange& exchange, Reporter& reporter,
                        const ExchangeTask& task) {
  HeldReporter probe(reporter.details_shown());
  const bool shared = width > 1 && count > 1 && exchange.for_another_thread(probe) != nullptr;
  if (!shared) {
    for (size_t i = 0; i < count; ++i) task(i, exchange, reporter);
    return;
  }
  std::vector<std::unique_ptr<HeldReporter>> held;
  for (size_t i = 0; i < count; ++i) held.push_back(std::make_unique<HeldReporter>(reporter.details_shown()));
  std::vector<bool> over(count, false);
  std::mutex mutex;
  std::condition_variable changed;
  std::atomic<size_t> next{0};

  auto worker = [&]() {
    for (size_t i; (i = next++) < count;) {
      std::unique_ptr<NodeExchange> own = exchange.for_another_thread(*held[i]);
      task(i, *own, *held[i]);
      std::lock_guard<std::mutex> lock(mutex);
      over[i] = true;
      changed.notify_all();
    }
  };
  std::vector<std::thread> threads;
  const size_t workers = std::min(count, static_cast<size_t>(width));
  for (size_t t = 0; t < workers; ++t) threads.emplace_back(worker);
  // Shown in order as they are over, while later tasks still run.
  for (size_t i = 0; i < count; ++i) {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return over[i]; });
    lock.unlock();
    held[i]->pass_to(reporter);
    reporter.flush();
  }
  for (std::thread& t : threads) t.join();
}

}  // namespace morbs
