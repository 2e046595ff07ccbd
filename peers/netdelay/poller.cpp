#include "peers/netdelay/poller.h"

#include <sys/epoll.h>

#include <algorithm>
#include <array>
#include <cerrno>

namespace morbs::netdelay {

Poller::Poller() : epoll_(epoll_create1(EPOLL_CLOEXEC)) {}

bool Poller::watch(int fd, Watched& watched, bool edge_triggered) {
  epoll_event event{};
  event.events = EPOLLIN | EPOLLRDHUP | (edge_triggered ? EPOLLOUT | EPOLLET : 0u);
  event.data.ptr = &watched;
  return epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, fd, &event) == 0;
}

void Poller::wait(Micros timeout) {
  constexpr int batch = 64;
  std::array<epoll_event, batch> events;
  timeout = std::max<Micros>(0, timeout);
  // Microseconds, not milliseconds: a delay of a few ms is held to the tick.
  const timespec wait_for{static_cast<time_t>(timeout / micros_per_second),
                          static_cast<long>(timeout % micros_per_second) * 1000};
  int count = epoll_pwait2(epoll_.get(), events.data(), batch, &wait_for, nullptr);
  if (count < 0 && errno == ENOSYS) {
    const Micros ms = (timeout + micros_per_ms - 1) / micros_per_ms;
    count = epoll_wait(epoll_.get(), events.data(), batch, static_cast<int>(ms));
  }
  for (int i = 0; i < count; ++i) {
    const uint32_t e = events[i].events;
    Readiness r;
    r.readable = e & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR);
    r.writable = e & (EPOLLOUT | EPOLLHUP | EPOLLERR);
    r.peer_closed = e & (EPOLLRDHUP | EPOLLHUP | EPOLLERR);
    static_cast<Watched*>(events[i].data.ptr)->notice(r);
  }
}

}  // namespace morbs::netdelay
