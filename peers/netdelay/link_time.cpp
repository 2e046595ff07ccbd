#include "peers/netdelay/link_time.h"

#include <time.h>

namespace morbs::netdelay {

Micros monotonic_now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<Micros>(t.tv_sec) * micros_per_second + t.tv_nsec / 1000;
}

}  // namespace morbs::netdelay
