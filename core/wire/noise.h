// Noise that masks a message block. No receiver reproduces it, so it needs no
// seed: it comes from the kernel's random source, without waiting.
#pragma once

#include <cstddef>
#include <cstdint>

namespace morbs {

// Fills the buffer with bytes uniform over 1..254 (never 0, never 255).
// Never sleeps; safe to call from several threads at once.
void urandom_win(uint8_t* buffer, size_t count);

// Always 1.
int noise_gen(uint8_t* buffer, size_t count);

// The byte range of the noise, kept by rejection so it stays uniform: raw
// bytes outside it are drawn again.
inline constexpr uint8_t noise_low = 1;
inline constexpr uint8_t noise_high = 254;

}  // namespace morbs
