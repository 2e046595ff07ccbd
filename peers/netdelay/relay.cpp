#include "peers/netdelay/relay.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

namespace morbs::netdelay {

namespace {

// Without a rate, big reads keep the cost per byte low; with one, smaller
// reads let the connections that share the link take turns.
constexpr size_t read_chunk = 256 * 1024;
constexpr size_t shared_read_chunk = 64 * 1024;

// Small pieces go out when they fall due, not when the kernel sees fit.
void send_at_once(int fd) {
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

// A failed relay resets both connections, so neither side takes the cut for
// a clean end of stream.
void reset_on_close(int fd) {
  if (fd < 0) return;
  linger abort{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
}

bool would_block(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

}  // namespace

Relay::Relay(platform::TcpSocket client, int target_port, Link& link, Poller& poller, Micros now)
    : link_(link),
      poller_(poller),
      target_port_(target_port),
      open_at_(now + link.connect_delay),
      up_{client_, target_, DelayLine(link.buffer_bytes, link.delay), link.to_target},
      down_{target_, client_, DelayLine(link.buffer_bytes, link.delay), link.to_client} {
  client_.socket = std::move(client);
}

Relay::~Relay() {
  if (failed_) {
    reset_on_close(client_.socket.fd());
    reset_on_close(target_.socket.fd());
  }
}

bool Relay::watch_client() {
  if (!client_.socket.set_nonblocking(true)) return false;
  send_at_once(client_.socket.fd());
  return poller_.watch(client_.socket.fd(), client_, true);
}

void Relay::open_target() {
  target_opened_ = true;
  platform::TcpSocket& s = target_.socket;
  if (!s.open() || !s.set_nonblocking(true)) return fail();
  send_at_once(s.fd());
  s.start_connect("127.0.0.1", target_port_);
  if (s.wait_writable(0, 0)) {
    target_connected_ = true;
  } else if (errno != ETIMEDOUT) {
    return fail();  // refused at once, or not an address we may reach
  }
  if (!poller_.watch(s.fd(), target_, true)) fail();
}

void Relay::check_connected() {
  if (!target_.writable) return;
  if (target_.socket.wait_writable(0, 0)) {
    target_connected_ = true;
  } else if (errno == ETIMEDOUT) {
    target_.writable = false;
  } else {
    fail();
  }
}

bool Relay::may_read(Way& way, Micros now) {
  if (way.ended || !way.from.readable || way.line.room() == 0) return false;
  return !way.rate || way.rate->available(now) >= link_.read_threshold;
}

void Relay::read_some(Way& way, Micros now) {
  if (!may_read(way, now)) return;
  size_t limit = way.rate ? std::min(shared_read_chunk, way.rate->available(now)) : read_chunk;
  const std::span<char> space = way.line.intake();
  const size_t wanted = std::min(space.size(), limit);
  const long n = ::recv(way.from.socket.fd(), space.data(), wanted, 0);
  if (n > 0) {
    way.line.admit(static_cast<size_t>(n), now);
    if (way.rate) way.rate->spend(static_cast<size_t>(n));
    // Drained: bytes that come later bring an event of their own, so no
    // read is spent on learning that nothing is left. An end of stream that
    // came with the last bytes brings none, so it is read at once.
    if (static_cast<size_t>(n) < wanted && !way.from.peer_closed) way.from.readable = false;
  } else if (n == 0) {
    way.ended = true;
  } else if (would_block(errno)) {
    way.from.readable = false;
  } else if (errno != EINTR) {
    fail();
  }
}

void Relay::send_due(Way& way, Micros now) {
  if (&way.to == &target_ && !target_connected_) return;
  while (way.to.writable && !failed_) {
    const std::span<const char> due = way.line.due(now);
    if (due.empty()) return;
    const long n = ::send(way.to.socket.fd(), due.data(), due.size(), MSG_NOSIGNAL);
    if (n > 0) {
      way.line.release(static_cast<size_t>(n));
      // A short write filled the socket: room made later brings an event.
      if (static_cast<size_t>(n) < due.size()) way.to.writable = false;
    } else if (n < 0 && would_block(errno)) {
      way.to.writable = false;
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      fail();
    }
  }
}

void Relay::flow(Way& way, Micros now) {
  send_due(way, now);
  read_some(way, now);
  send_due(way, now);
  const bool to_ready = &way.to == &client_ || target_connected_;
  if (way.ended && way.line.empty() && !way.shut && to_ready && !failed_) {
    // The end of stream travels too, after the last byte.
    ::shutdown(way.to.socket.fd(), SHUT_WR);
    way.shut = true;
  }
}

void Relay::outlook_of(Way& way, Micros now, Outlook& outlook) {
  auto wake = [&](Micros at) { outlook.wake_at = std::min(outlook.wake_at.value_or(at), at); };
  // A byte due already waits for its side to take it, not for the clock.
  if (auto due = way.line.next_due(); due && *due > now) wake(*due);
  const bool wants_to_read = !way.ended && way.from.readable && way.line.room() > 0;
  if (wants_to_read && way.rate && way.rate->available(now) < link_.read_threshold)
    wake(way.rate->ready_at(link_.read_threshold, now));
  const bool can_send = way.to.writable && (&way.to == &client_ || target_connected_);
  if (may_read(way, now) || (can_send && !way.line.due(now).empty())) outlook.busy = true;
}

Outlook Relay::advance(Micros now) {
  Outlook outlook;
  if (!target_opened_ && now >= open_at_) open_target();
  if (target_opened_ && !target_connected_ && !failed_) check_connected();
  if (!failed_) flow(up_, now);
  if (!failed_) flow(down_, now);
  if (failed_ || (up_.shut && down_.shut)) {
    outlook.finished = true;
    return outlook;
  }
  if (!target_opened_) outlook.wake_at = open_at_;
  outlook_of(up_, now, outlook);
  outlook_of(down_, now, outlook);
  return outlook;
}

}  // namespace morbs::netdelay
