#include "platform/interrupt_cleanup.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace morbs::platform {

namespace {

// A handler may only read memory set aside beforehand: the path lives in a
// fixed buffer, published by a flag.
char marked_path[4096];
std::atomic<bool> marked{false};
bool handlers_installed = false;

void on_interrupt(int sig) {
  if (marked.load()) ::unlink(marked_path);
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

void install_handlers() {
  if (handlers_installed) return;
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old {};
    // A signal the caller ignores (nohup, a background job) stays ignored.
    if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    ::sigaction(sig, &action, nullptr);
  }
  handlers_installed = true;
}

}  // namespace

bool remove_on_interrupt(const std::string& path) {
  marked.store(false);
  if (path.size() >= sizeof(marked_path)) return false;
  std::memcpy(marked_path, path.c_str(), path.size() + 1);
  install_handlers();
  marked.store(true);
  return true;
}

void keep_on_interrupt() { marked.store(false); }

}  // namespace morbs::platform
