// Noise that masks a message block. No receiver reproduces it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace morbs {

// Fills the buffer with bytes 1..254, seeded from the clock after a 17.3 ms
// sleep, so two calls in a row differ.
void urandom_win(uint8_t* buffer, size_t count);

// Always 1.
int noise_gen(uint8_t* buffer, size_t count);

}  // namespace morbs
