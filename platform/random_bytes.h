// Bytes from the kernel's random source: no seed, no state of ours, no wait
// for the clock to move.
#pragma once

#include <cstddef>
#include <cstdint>

namespace morbs::platform {

// Fills the whole buffer; false when the kernel gives no random bytes
// (buffer then partly filled).
bool random_bytes(uint8_t* buffer, size_t count);

}  // namespace morbs::platform
