// The node's digest is the one the client computes: the same for every length
// around the block edges and for any split of the bytes, and fresh after finish.
#include <gtest/gtest.h>

#include <string>

#include "peers/morbnode/sha256_stream.h"

namespace morbs::node {
namespace {

std::string bytes_of(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + 7) % 251);
  return s;
}

TEST(Sha256Stream, SameDigestAsTheClients) {
  struct Case {
    size_t size, piece;  // fed in pieces of `piece` bytes
  };
  const Case cases[] = {{0, 1}, {1, 1}, {55, 55}, {56, 7}, {63, 64}, {64, 64}, {65, 3},
                        {1000, 1000}, {(1 << 20) + 3, 30000}, {(1 << 20) + 3, 1 << 20}};
  for (const auto& c : cases) {
    const std::string data = bytes_of(c.size);
    Sha256Stream stream;
    for (size_t at = 0; at < data.size(); at += c.piece)
      stream.update(std::string_view(data).substr(at, c.piece));
    EXPECT_EQ(digest::to_hex(stream.finish()), digest::to_hex(digest::sha256_of(data)))
        << c.size << " bytes in pieces of " << c.piece;
  }
}

TEST(Sha256Stream, StartsOverAfterFinish) {
  Sha256Stream stream;
  stream.update("left over");
  stream.finish();
  stream.update("abc");
  EXPECT_EQ(digest::to_hex(stream.finish()), digest::to_hex(digest::sha256_of("abc")));
}

}  // namespace
}  // namespace morbs::node
