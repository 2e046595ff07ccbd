#include "peers/morbnode/upload_digest.h"

#include <fcntl.h>
#include <unistd.h>

#include <vector>

#include "platform/file_region.h"

namespace morbs::node {

void UploadDigest::add(uint64_t offset, std::string_view data, uint64_t writes) {
  // A write of someone else in between, or one not where the last ended,
  // and the bytes taken no longer tell what the file holds.
  in_order_ = in_order_ && writes == writes_seen_ + 1 && offset == next_offset_;
  writes_seen_ = writes;
  if (!in_order_) return;
  sha_.update(data);
  next_offset_ += data.size();
}

std::optional<std::string> UploadDigest::of_whole(uint64_t size, uint64_t writes) {
  if (!in_order_ || writes != writes_seen_ || next_offset_ != size) return std::nullopt;
  in_order_ = false;
  return digest::to_hex(sha_.finish());
}

std::optional<std::string> digest_of_file(const std::filesystem::path& path) {
  platform::FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (!file) return std::nullopt;
  Sha256Stream sha;
  std::vector<char> buffer(1 << 20);
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer.data(), buffer.size());
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    sha.update({buffer.data(), static_cast<size_t>(got)});
  }
  return digest::to_hex(sha.finish());
}

}  // namespace morbs::node
