// The key stream of a key: the generator's bytes (each draw mod 255) from a
// fresh seed. Every block of a day is coded under the same key, and half the
// generator's states cost long arithmetic on digit texts, so the process
// keeps the last key's stream instead of running the generator per block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace morbs {

// At least `count` bytes of the stream of `key`; safe to call from any thread.
std::shared_ptr<const std::vector<uint8_t>> key_stream(uint32_t key, size_t count);

}  // namespace morbs
