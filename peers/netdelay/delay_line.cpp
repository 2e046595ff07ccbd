#include "peers/netdelay/delay_line.h"

#include <algorithm>

namespace morbs::netdelay {

DelayLine::DelayLine(size_t capacity, Micros delay) : capacity_(capacity), delay_(delay) {}

std::span<char> DelayLine::intake() {
  if (!ring_) ring_ = std::make_unique_for_overwrite<char[]>(capacity_);
  const size_t tail = (head_ + held_) % capacity_;
  const size_t up_to_end = held_ == capacity_ ? 0 : (tail >= head_ ? capacity_ - tail : head_ - tail);
  return {ring_.get() + tail, std::min(up_to_end, room())};
}

void DelayLine::admit(size_t n, Micros now) {
  if (n == 0) return;
  held_ += n;
  const uint64_t end = released_ + held_;
  const Micros due = now + delay_;
  // Reads within one tick share one entry, so the list stays short.
  if (!waiting_.empty() && waiting_.back().due == due)
    waiting_.back().end = end;
  else
    waiting_.push_back({end, due});
}

std::span<const char> DelayLine::due(Micros now) {
  while (!waiting_.empty() && waiting_.front().due <= now) {
    due_end_ = waiting_.front().end;
    waiting_.pop_front();
  }
  const size_t due_bytes = static_cast<size_t>(due_end_ - released_);
  const size_t up_to_end = capacity_ - head_;
  if (due_bytes == 0) return {};
  return {ring_.get() + head_, std::min(due_bytes, up_to_end)};
}

void DelayLine::release(size_t n) {
  n = std::min(n, static_cast<size_t>(due_end_ - released_));
  head_ = (head_ + n) % capacity_;
  held_ -= n;
  released_ += n;
  if (held_ == 0) head_ = 0;  // reads start at the front again: fewer split pieces
}

std::optional<Micros> DelayLine::next_due() const {
  if (waiting_.empty()) return std::nullopt;
  return waiting_.front().due;
}

}  // namespace morbs::netdelay
