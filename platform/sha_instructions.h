// The processor's own SHA-256 instructions, where it has them. Digests are
// taken of every byte a client sends or fetches; these instructions do it
// several times faster than portable code.
#pragma once

#include <cstddef>
#include <cstdint>

namespace morbs::platform {

// Folds `count` blocks of 64 bytes into `state` (the eight words a..h) with
// the SHA-256 rounds, `round_constants` the 64 words of the standard. False,
// `state` untouched, on a processor without the instructions.
bool sha256_blocks_by_instructions(uint32_t* state, const uint8_t* blocks, size_t count,
                                   const uint32_t* round_constants);

}  // namespace morbs::platform
