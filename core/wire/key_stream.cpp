#include "core/wire/key_stream.h"

#include <vector>

#include "core/wire/number_generator.h"

namespace morbs {

namespace {
struct KeptStream {
  bool valid = false;
  uint32_t key = 0;
  std::vector<uint8_t> bytes;
};
}  // namespace

const uint8_t* key_stream(uint32_t key, size_t count) {
  thread_local KeptStream kept;
  if (!kept.valid || kept.key != key || kept.bytes.size() < count) {
    // The stream is drawn from its start, so a longer one begins with the shorter.
    GeneratorState state;
    RSA_srand(state, key);
    kept.bytes.resize(count);
    for (auto& b : kept.bytes) b = static_cast<uint8_t>(RSA_rand(state) % 255);
    kept.key = key;
    kept.valid = true;
  }
  return kept.bytes.data();
}

}  // namespace morbs
