#include "core/wire/key_stream.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/wire/number_generator.h"

namespace morbs {
namespace {

std::vector<uint8_t> drawn(uint32_t key, size_t count) {
  GeneratorState state;
  RSA_srand(state, key);
  std::vector<uint8_t> out(count);
  for (auto& b : out) b = static_cast<uint8_t>(RSA_rand(state) % 255);
  return out;
}

// The kept stream must never answer for another key or run short when a
// longer one is asked after a shorter: a wrong byte garbles every message.
TEST(KeyStream, IsTheGeneratorsStreamAcrossKeysAndLengths) {
  struct Ask {
    uint32_t key;
    size_t count;
  };
  const Ask asks[] = {
      {20260315, 256}, {20260315, 128}, {3000000000u, 256}, {20260315, 300}, {0, 16}, {20260315, 256},
  };
  for (const Ask& ask : asks) {
    SCOPED_TRACE(ask.key);
    const auto kept = key_stream(ask.key, ask.count);
    ASSERT_GE(kept->size(), ask.count);
    EXPECT_EQ(std::vector<uint8_t>(kept->begin(), kept->begin() + ask.count), drawn(ask.key, ask.count));
  }
}

}  // namespace
}  // namespace morbs
