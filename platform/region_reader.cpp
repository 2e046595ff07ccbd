#include "platform/region_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace morbs::platform {

bool read_region(int fd, int64_t offset, int64_t size, const std::function<void(std::string_view)>& take) {
  // Large enough that a big piece costs few calls.
  std::vector<char> block(1 << 20);
  while (size > 0) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(size, static_cast<int64_t>(block.size())));
    const ssize_t got = ::pread(fd, block.data(), want, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    take(std::string_view(block.data(), static_cast<size_t>(got)));
    offset += got;
    size -= got;
  }
  return true;
}

}  // namespace morbs::platform
