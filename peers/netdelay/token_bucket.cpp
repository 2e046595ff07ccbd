#include "peers/netdelay/token_bucket.h"

#include <algorithm>
#include <cmath>

namespace morbs::netdelay {

TokenBucket::TokenBucket(double bytes_per_second, size_t depth, Micros now)
    : bytes_per_micro_(bytes_per_second / micros_per_second),
      depth_(static_cast<double>(depth)),
      tokens_(depth_),
      filled_at_(now) {}

void TokenBucket::refill(Micros now) {
  if (now <= filled_at_) return;
  tokens_ = std::min(depth_, tokens_ + static_cast<double>(now - filled_at_) * bytes_per_micro_);
  filled_at_ = now;
}

size_t TokenBucket::available(Micros now) {
  refill(now);
  return static_cast<size_t>(tokens_);
}

void TokenBucket::spend(size_t n) { tokens_ = std::max(0.0, tokens_ - static_cast<double>(n)); }

Micros TokenBucket::ready_at(size_t n, Micros now) {
  refill(now);
  const double wanted = std::min(depth_, static_cast<double>(n));
  if (tokens_ >= wanted) return now;
  return now + static_cast<Micros>(std::ceil((wanted - tokens_) / bytes_per_micro_));
}

BucketShape bucket_shape(double bytes_per_second) {
  constexpr double min_threshold = 1500, max_threshold = 64 * 1024;
  const double per_ms = bytes_per_second / 1000;
  const double threshold = std::clamp(2 * per_ms, min_threshold, max_threshold);
  const double depth = std::max(2 * threshold, 4 * per_ms);
  return {static_cast<size_t>(depth), static_cast<size_t>(threshold)};
}

}  // namespace morbs::netdelay
