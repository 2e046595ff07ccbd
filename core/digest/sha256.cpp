#include "core/digest/sha256.h"

#include <algorithm>
#include <cstring>

#include "core/digest/sha256_blocks.h"

namespace morbs::digest {

namespace {

constexpr Sha256State initial_state = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                       0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

}  // namespace

Sha256::Sha256() { reset(); }

void Sha256::reset() {
  state_ = initial_state;
  pending_size_ = 0;
  total_bytes_ = 0;
}

void Sha256::update(const void* data, size_t size) {
  auto bytes = static_cast<const uint8_t*>(data);
  total_bytes_ += size;
  if (pending_size_ > 0) {
    const size_t take = std::min(size, pending_.size() - pending_size_);
    std::memcpy(pending_.data() + pending_size_, bytes, take);
    pending_size_ += take;
    bytes += take;
    size -= take;
    if (pending_size_ < pending_.size()) return;
    compress_blocks(state_, pending_.data(), 1);
    pending_size_ = 0;
  }
  // Whole blocks straight from the caller's bytes, without a copy.
  const size_t whole = size / pending_.size();
  compress_blocks(state_, bytes, whole);
  bytes += whole * pending_.size();
  size -= whole * pending_.size();
  if (size > 0) std::memcpy(pending_.data(), bytes, size);
  pending_size_ = size;
}

Sha256Digest Sha256::finish() {
  const uint64_t bit_length = total_bytes_ * 8;
  // A one bit, zeros up to 56 bytes into a block, then the length in bits.
  uint8_t padding[72] = {0x80};
  const size_t zeros = (pending_size_ < 56 ? 56 : 120) - pending_size_;
  for (int i = 0; i < 8; ++i) padding[zeros + i] = static_cast<uint8_t>(bit_length >> (56 - 8 * i));
  update(padding, zeros + 8);
  Sha256Digest digest{};
  for (size_t i = 0; i < state_.size(); ++i)
    for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<uint8_t>(state_[i] >> (24 - 8 * j));
  reset();
  return digest;
}

std::string to_hex(const Sha256Digest& digest) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(digest.size() * 2);
  for (uint8_t byte : digest) {
    hex += digits[byte >> 4];
    hex += digits[byte & 0x0f];
  }
  return hex;
}

Sha256Digest sha256_of(std::string_view bytes) {
  Sha256 sha;
  sha.update(bytes);
  return sha.finish();
}

}  // namespace morbs::digest
