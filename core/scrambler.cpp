#include "core/scrambler.h"

#include <cstring>

#include "core/day_key.h"
#include "core/noise.h"
#include "core/number_generator.h"

namespace morbs {

namespace {
uint8_t key_stream_byte() { return static_cast<uint8_t>(RSA_rand() % 255); }
}  // namespace

void interleave(const uint8_t* plain, const uint8_t* noise, uint32_t key,
                size_t pairs, uint8_t* block) {
  RSA_srand(key);
  for (size_t i = 0; i < pairs; ++i) {
    block[2 * i] = plain[i] ^ noise[i];
    block[2 * i + 1] = key_stream_byte() ^ noise[i];
  }
}

void deinterleave(uint8_t* block, uint32_t key, size_t pairs, uint8_t* plain) {
  RSA_srand(key);
  for (size_t i = 0; i < pairs; ++i) {
    block[2 * i + 1] ^= key_stream_byte();
    plain[i] = block[2 * i + 1] ^ block[2 * i];
  }
}

void codeV1(std::string_view text, uint32_t /*seed*/, MessageBlock& block) {
  text = text.substr(0, std::min<size_t>(text.size(), wire::message_plain_size - 1));
  std::array<uint8_t, wire::message_plain_size> plain{}, noise{};
  noise_gen(plain.data(), plain.size());
  std::memcpy(plain.data(), text.data(), text.size());
  plain[text.size()] = 0;
  uint32_t key = 0;
  key_number(key);
  noise_gen(noise.data(), noise.size());
  interleave(plain.data(), noise.data(), key, plain.size(), block.data());
}

void decodeV1(MessageBlock& block, uint32_t /*seed*/, PlainBlock& plain) {
  uint32_t key = 0;
  key_number(key);
  deinterleave(block.data(), key, plain.size(), reinterpret_cast<uint8_t*>(plain.data()));
}

}  // namespace morbs
