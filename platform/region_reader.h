// Reading back a region of a file that a child wrote through a descriptor,
// without moving the descriptor: what arrived can be checked while the
// descriptor still serves the next attempt.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace morbs::platform {

// Hands the `size` bytes of the file of `fd` from `offset` on to `take`, a
// block at a time. False when they cannot all be read (the file is shorter).
bool read_region(int fd, int64_t offset, int64_t size, const std::function<void(std::string_view)>& take);

}  // namespace morbs::platform
