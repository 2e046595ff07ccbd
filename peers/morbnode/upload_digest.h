// The SHA-256 of an upload, taken as its bytes arrive, and of a stored file
// read from disk when the bytes did not arrive in order.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "peers/morbnode/sha256_stream.h"

namespace morbs::node {

// Good while the bytes come in order from the start and the file changes in
// no other way: `writes` is the file's count of changes (NodeStore::note_write).
class UploadDigest {
 public:
  explicit UploadDigest(uint64_t writes_before) : writes_seen_(writes_before) {}
  // After the write of `data` at `offset`, which made the file's count `writes`.
  void add(uint64_t offset, std::string_view data, uint64_t writes);
  // The hex digest when the bytes taken are the whole file of `size` bytes
  // and nothing changed it since; nullopt otherwise. Once only.
  std::optional<std::string> of_whole(uint64_t size, uint64_t writes);

 private:
  Sha256Stream sha_;
  uint64_t next_offset_ = 0;
  uint64_t writes_seen_;
  bool in_order_ = true;
};

// The hex digest of the file at `path`, read from its start; nullopt when it
// cannot be read.
std::optional<std::string> digest_of_file(const std::filesystem::path& path);

}  // namespace morbs::node
