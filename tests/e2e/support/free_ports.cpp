#include "tests/e2e/support/free_ports.h"

#include <random>
#include <stdexcept>

#include "platform/loopback_listener.h"

namespace morbs::e2e {

namespace {
constexpr int lowest = 10000;
constexpr int below = 32768 - 200;  // the base's offsets stay under the ephemeral range
}  // namespace

int free_base_port(std::initializer_list<int> offsets) {
  std::mt19937 random(std::random_device{}());
  for (int attempt = 0; attempt < 50; ++attempt) {
    const int base = lowest + static_cast<int>(random() % (below - lowest));
    bool free = true;
    for (int offset : offsets) {
      platform::LoopbackListener probe;
      free = free && probe.listen(base + offset);
    }
    if (free) return base;
  }
  throw std::runtime_error("no free ports");
}

}  // namespace morbs::e2e
