// SHA-256 of a byte stream fed in pieces: what a node records of every stored
// file and what a client compares a copy with.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/digest/sha256_blocks.h"

namespace morbs::digest {

using Sha256Digest = std::array<uint8_t, 32>;

class Sha256 {
 public:
  Sha256();
  // Adds the next bytes of the message; any split of it gives the same digest.
  void update(const void* data, size_t size);
  void update(std::string_view bytes) { update(bytes.data(), bytes.size()); }
  // The digest of everything added. The object starts over afterwards.
  Sha256Digest finish();

 private:
  void reset();

  Sha256State state_;
  std::array<uint8_t, 64> pending_;
  size_t pending_size_ = 0;
  uint64_t total_bytes_ = 0;
};

// 64 lower-case hexadecimal digits.
std::string to_hex(const Sha256Digest& digest);

// The digest of `bytes` in one call.
Sha256Digest sha256_of(std::string_view bytes);

}  // namespace morbs::digest
