#include "core/wire/scrambler.h"

#include <algorithm>
#include <cstring>

#include "core/session/day_key.h"
#include "core/wire/key_stream.h"
#include "core/wire/noise.h"

namespace morbs {

void interleave(const uint8_t* plain, const uint8_t* noise, uint32_t key, size_t pairs,
                uint8_t* block) {
  const auto stream = key_stream(key, pairs);
  for (size_t i = 0; i < pairs; ++i) {
    block[2 * i] = plain[i] ^ noise[i];
    block[2 * i + 1] = (*stream)[i] ^ noise[i];
  }
}

void deinterleave(uint8_t* block, uint32_t key, size_t pairs, uint8_t* plain) {
  const auto stream = key_stream(key, pairs);
  for (size_t i = 0; i < pairs; ++i) {
    block[2 * i + 1] ^= (*stream)[i];
    plain[i] = block[2 * i + 1] ^ block[2 * i];
  }
}

void code_message_block(std::string_view text, uint32_t key, const MessageNoise& fill,
                        const MessageNoise& mask, MessageBlock& block) {
  text = text.substr(0, std::min<size_t>(text.size(), wire::message_plain_size - 1));
  MessageNoise plain = fill;
  std::memcpy(plain.data(), text.data(), text.size());
  plain[text.size()] = 0;
  interleave(plain.data(), mask.data(), key, plain.size(), block.data());
}

void codeV1(std::string_view text, uint32_t /*seed*/, MessageBlock& block) {
  MessageNoise fill{}, mask{};
  noise_gen(fill.data(), fill.size());
  uint32_t key = 0;
  key_number(key);
  noise_gen(mask.data(), mask.size());
  code_message_block(text, key, fill, mask, block);
}

void decodeV1(MessageBlock& block, uint32_t /*seed*/, PlainBlock& plain) {
  uint32_t key = 0;
  key_number(key);
  deinterleave(block.data(), key, plain.size(), reinterpret_cast<uint8_t*>(plain.data()));
}

}  // namespace morbs
