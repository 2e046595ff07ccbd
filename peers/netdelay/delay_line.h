// One direction of a delayed connection: the bytes read from one side, held
// back until they fall due, then handed on in the order they came. Each read's
// bytes fall due `delay` after they were read, whatever came before them, so
// a stream keeps its rate and only arrives later. The line holds at most
// `capacity` bytes: when it is full the reader stops, and the sender meets
// the back-pressure of its own socket.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>

#include "peers/netdelay/link_time.h"

namespace morbs::netdelay {

class DelayLine {
 public:
  DelayLine(size_t capacity, Micros delay);

  size_t held() const { return held_; }
  size_t room() const { return capacity_ - held_; }
  bool empty() const { return held_ == 0; }

  // Free space, in one piece, for the next read (empty when the line is full).
  std::span<char> intake();
  // `n` bytes were read into intake() at `now`: they fall due at now + delay.
  void admit(size_t n, Micros now);

  // The oldest held bytes that are due at `now`, in one piece (empty when
  // none is due).
  std::span<const char> due(Micros now);
  // The first `n` bytes of due() were handed on.
  void release(size_t n);

  // When the oldest byte still held back falls due; nullopt when every held
  // byte is due already.
  std::optional<Micros> next_due() const;

 private:
  struct Arrival {
    uint64_t end;  // the count of bytes admitted once this read is in
    Micros due;
  };

  size_t capacity_;
  Micros delay_;
  // Made at the first read and never cleared: a connection that carries one
  // request touches only the pages it uses.
  std::unique_ptr<char[]> ring_;
  size_t head_ = 0;  // where the oldest held byte is
  size_t held_ = 0;
  uint64_t released_ = 0;      // bytes handed on, ever
  uint64_t due_end_ = 0;       // bytes admitted, ever, that are due
  std::deque<Arrival> waiting_;  // reads not yet due, oldest first
};

}  // namespace morbs::netdelay
