#include "peers/netdelay/proxy.h"

#include <algorithm>

namespace morbs::netdelay {

namespace {

// Idle waits stay short, so a stop is seen soon.
constexpr Micros idle_wait = 200 * micros_per_ms;

}  // namespace

Proxy::Proxy(const ProxyOptions& options, size_t max_relays)
    : options_(options), max_relays_(max_relays), link_(Link::from(options, monotonic_now())) {}

bool Proxy::listen(std::string& error) {
  if (!poller_.ok()) {
    error = "cannot make a poller";
    return false;
  }
  for (const Forward& f : options_.forwards) {
    auto listener = std::make_unique<Listener>();
    listener->target_port = f.target_port;
    if (!listener->socket.listen(f.listen_port) ||
        !poller_.watch(listener->socket.fd(), *listener, false)) {
      error = "cannot listen on 127.0.0.1:" + std::to_string(f.listen_port);
      return false;
    }
    listeners_.push_back(std::move(listener));
  }
  return true;
}

void Proxy::accept_from(Listener& listener, Micros now) {
  listener.pending = false;
  while (auto client = listener.socket.accept(0)) {
    if (relays_.size() >= max_relays_) continue;  // closed at once: the client sees the end
    auto relay = std::make_unique<Relay>(std::move(*client), listener.target_port, link_, poller_, now);
    if (relay->watch_client()) relays_.push_back(std::move(relay));
  }
}

Outlook Proxy::advance_relays(Micros now) {
  Outlook all;
  const size_t count = relays_.size();
  if (count == 0) return all;
  turn_ = (turn_ + 1) % count;
  std::vector<bool> finished(count, false);
  for (size_t k = 0; k < count; ++k) {
    const size_t i = (turn_ + k) % count;
    const Outlook o = relays_[i]->advance(now);
    finished[i] = o.finished;
    all.busy = all.busy || o.busy;
    if (o.wake_at) all.wake_at = std::min(all.wake_at.value_or(*o.wake_at), *o.wake_at);
  }
  size_t kept = 0;
  for (size_t i = 0; i < count; ++i)
    if (!finished[i]) relays_[kept++] = std::move(relays_[i]);
  relays_.resize(kept);
  return all;
}

void Proxy::serve(const std::atomic<bool>& stop) {
  while (!stop) {
    const Micros now = monotonic_now();
    for (auto& listener : listeners_)
      if (listener->pending) accept_from(*listener, now);
    const Outlook outlook = advance_relays(now);
    Micros wait = idle_wait;
    if (outlook.busy) wait = 0;
    else if (outlook.wake_at) wait = std::min(idle_wait, *outlook.wake_at - monotonic_now());
    poller_.wait(wait);
  }
}

}  // namespace morbs::netdelay
