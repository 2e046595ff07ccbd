#include "peers/netdelay/link.h"

namespace morbs::netdelay {

Link Link::from(const ProxyOptions& options, Micros now) {
  Link link;
  link.delay = options.delay_ms * micros_per_ms;
  // Over TCP the connect takes a round trip and the first bytes one more way;
  // here the kernel accepts at once, so the target is reached that much later.
  link.connect_delay = options.handshake ? 3 * link.delay : 0;
  link.buffer_bytes = options.buffer_bytes;
  if (options.rate_mbit) {
    const double bytes_per_second = *options.rate_mbit * 1e6 / 8;
    const BucketShape shape = bucket_shape(bytes_per_second);
    link.read_threshold = shape.read_threshold;
    link.to_target.emplace(bytes_per_second, shape.depth, now);
    link.to_client.emplace(bytes_per_second, shape.depth, now);
  }
  return link;
}

}  // namespace morbs::netdelay
