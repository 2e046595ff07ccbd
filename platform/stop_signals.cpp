#include "platform/stop_signals.h"

#include <csignal>

namespace morbs::platform {

namespace {

std::atomic<bool> stop_requested{false};

void on_signal(int) { stop_requested = true; }

}  // namespace

const std::atomic<bool>& stop_on_signals() {
  std::signal(SIGPIPE, SIG_IGN);
  struct sigaction action{};
  action.sa_handler = on_signal;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  return stop_requested;
}

}  // namespace morbs::platform
