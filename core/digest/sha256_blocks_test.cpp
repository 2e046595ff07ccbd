// The processor's SHA instructions and the portable rounds must fold the same
// blocks into the same state; the published vectors pin whichever runs here.
#include "core/digest/sha256_blocks.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace morbs::digest {
namespace {

TEST(Sha256Blocks, InstructionsAndPortableRoundsAgree) {
  std::mt19937 random(7);
  std::vector<uint8_t> data(64 * 17);
  for (auto& b : data) b = static_cast<uint8_t>(random());
  for (size_t count : {0, 1, 2, 17}) {
    SCOPED_TRACE(count);
    Sha256State portable = {1, 2, 3, 4, 5, 6, 7, 8}, accelerated = portable;
    compress_blocks_portable(portable, data.data(), count);
    if (!compress_blocks_accelerated(accelerated, data.data(), count))
      GTEST_SKIP() << "no SHA instructions on this processor";
    EXPECT_EQ(accelerated, portable);
  }
}

}  // namespace
}  // namespace morbs::digest
