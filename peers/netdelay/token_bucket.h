// A link's rate: bytes may enter the link as fast as tokens come in, one
// token a byte at `bytes_per_second`, and at most `depth` tokens are saved up
// while the link is idle. Every connection in one direction draws from the
// same bucket, so together they share the rate, as on one link.
#pragma once

#include <cstddef>

#include "peers/netdelay/link_time.h"

namespace morbs::netdelay {

class TokenBucket {
 public:
  // Starts full, as an idle link.
  TokenBucket(double bytes_per_second, size_t depth, Micros now);

  // Whole tokens at `now`.
  size_t available(Micros now);
  // Spends `n` tokens, never more than there are.
  void spend(size_t n);
  // When `n` tokens (at most the depth) will be there.
  Micros ready_at(size_t n, Micros now);

  size_t depth() const { return static_cast<size_t>(depth_); }

 private:
  void refill(Micros now);

  double bytes_per_micro_;
  double depth_;
  double tokens_;
  Micros filled_at_;
};

// The bucket's shape for a rate: deep enough that the waits between reads stay
// a few milliseconds long (cheap to wake for), shallow enough that a burst after
// an idle spell is short. `read_threshold` is what a reader waits for before
// reading again, so that a saturated link is read in pieces, not byte by byte.
struct BucketShape {
  size_t depth;
  size_t read_threshold;
};
BucketShape bucket_shape(double bytes_per_second);

}  // namespace morbs::netdelay
