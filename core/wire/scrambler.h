// The 512-byte scrambled block of every node request and reply: 256 pairs of
// (plain ^ noise, keystream ^ noise). The receiver needs only the day key.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "core/wire/number_generator.h"
#include "core/wire/wire.h"

namespace morbs {

using MessageBlock = std::array<uint8_t, wire::message_block_size>;
using PlainBlock = std::array<char, wire::message_plain_size>;
using MessageNoise = std::array<uint8_t, wire::message_plain_size>;

// Codes at most 255 characters of `text` under today's message key; `seed`
// is replaced by that key, as the nodes do. Threads may code at once.
void codeV1(std::string_view text, uint32_t seed, MessageBlock& block);

// Decodes under today's message key. The odd bytes of `block` end up holding
// the noise.
void decodeV1(MessageBlock& block, uint32_t seed, PlainBlock& plain);

// The block of `text` (cut to 255 characters) under `key`: `fill` pads the
// plain block after the text's NUL, `mask` masks every pair. codeV1 draws
// both fresh; a fixed pair of noises gives a fixed block.
void code_message_block(std::string_view text, uint32_t key, const MessageNoise& fill,
                        const MessageNoise& mask, MessageBlock& block);

// The pair layout with an explicit key, shared by the message block and the
// session certificate.
void interleave(const uint8_t* plain, const uint8_t* noise, uint32_t key, size_t pairs,
                uint8_t* block);
void deinterleave(uint8_t* block, uint32_t key, size_t pairs, uint8_t* plain);

}  // namespace morbs
