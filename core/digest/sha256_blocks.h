// The SHA-256 compression function over whole 64-byte blocks. A client checks
// every byte it sends against the node's digest, so this runs over every
// byte of an upload: where the processor has SHA instructions it uses them,
// several times faster than the portable rounds.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace morbs::digest {

using Sha256State = std::array<uint32_t, 8>;

// Folds `count` blocks of 64 bytes into `state`, the fastest way this
// processor allows.
void compress_blocks(Sha256State& state, const uint8_t* blocks, size_t count);

// The two ways, for tests that hold them to each other.
void compress_blocks_portable(Sha256State& state, const uint8_t* blocks, size_t count);
// False, with `state` untouched, on a processor without SHA instructions.
bool compress_blocks_accelerated(Sha256State& state, const uint8_t* blocks, size_t count);

}  // namespace morbs::digest
