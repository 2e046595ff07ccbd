#include "core/wire/key_stream.h"

#include <mutex>

#include "core/wire/number_generator.h"

namespace morbs {

namespace {
std::mutex kept_mutex;
uint32_t kept_key = 0;
std::shared_ptr<const std::vector<uint8_t>> kept;  // the stream of kept_key

std::shared_ptr<const std::vector<uint8_t>> drawn(uint32_t key, size_t count) {
  GeneratorState state;
  RSA_srand(state, key);
  auto bytes = std::make_shared<std::vector<uint8_t>>(count);
  for (auto& b : *bytes) b = static_cast<uint8_t>(RSA_rand(state) % 255);
  return bytes;
}
}  // namespace

std::shared_ptr<const std::vector<uint8_t>> key_stream(uint32_t key, size_t count) {
  {
    std::lock_guard<std::mutex> lock(kept_mutex);
    if (kept && kept_key == key && kept->size() >= count) return kept;
  }
  // Drawn outside the lock: threads that meet a new key at once each draw
  // the same bytes, and the last one kept is as good as the first.
  auto bytes = drawn(key, count);
  std::lock_guard<std::mutex> lock(kept_mutex);
  kept_key = key;
  kept = bytes;
  return bytes;
}

}  // namespace morbs
