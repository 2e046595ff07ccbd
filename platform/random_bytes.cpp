#include "platform/random_bytes.h"

#include <cerrno>
#include <sys/random.h>

namespace morbs::platform {

bool random_bytes(uint8_t* buffer, size_t count) {
  size_t filled = 0;
  while (filled < count) {
    // Large requests may come back short, and a signal may interrupt one.
    ssize_t got = ::getrandom(buffer + filled, count - filled, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    filled += static_cast<size_t>(got);
  }
  return true;
}

}  // namespace morbs::platform
