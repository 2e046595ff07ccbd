// The link every connection of one proxy crosses: its delay, its rate each
// way (one bucket per direction, shared by all connections, as a full-duplex
// link is), and how much a connection may hold back.
#pragma once

#include <cstddef>
#include <optional>

#include "peers/netdelay/link_time.h"
#include "peers/netdelay/proxy_options.h"
#include "peers/netdelay/token_bucket.h"

namespace morbs::netdelay {

struct Link {
  Micros delay = 0;
  Micros connect_delay = 0;  // how late a new connection reaches its target
  size_t buffer_bytes = 0;
  size_t read_threshold = 0;  // with a rate: tokens a reader waits for
  std::optional<TokenBucket> to_target, to_client;

  static Link from(const ProxyOptions& options, Micros now);
};

}  // namespace morbs::netdelay
