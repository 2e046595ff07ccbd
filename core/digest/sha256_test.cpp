// SHA-256 against the published test vectors, and the same digest for any
// split of the message into pieces.
#include <gtest/gtest.h>

#include "core/digest/sha256.h"

namespace morbs::digest {
namespace {

TEST(Sha256, PublishedVectors) {
  struct Case {
    std::string message, hex;
  };
  const Case cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",  // 448 bits
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},  // 896 bits
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& c : cases) EXPECT_EQ(to_hex(sha256_of(c.message)), c.hex) << c.message.size();
}

TEST(Sha256, AnySplitGivesTheSameDigest) {
  std::string message;
  for (int i = 0; i < 1000; ++i) message += static_cast<char>(i * 7 + 3);
  const std::string whole = to_hex(sha256_of(message));
  // Pieces that end inside a block, on its end, and across several blocks.
  for (size_t piece : {1, 3, 55, 56, 63, 64, 65, 128, 999}) {
    Sha256 sha;
    for (size_t at = 0; at < message.size(); at += piece) sha.update(std::string_view(message).substr(at, piece));
    EXPECT_EQ(to_hex(sha.finish()), whole) << piece;
  }
  // After finish the object starts over.
  Sha256 sha;
  sha.update("stale");
  sha.finish();
  sha.update("abc");
  EXPECT_EQ(to_hex(sha.finish()), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(Sha256, MessagesAroundThePaddingBoundary) {
  // Lengths where the length field just fits or spills into another block,
  // against digests from an independent implementation.
  struct Case {
    size_t length;
    std::string hex;
  };
  const Case cases[] = {
      {55, "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
      {56, "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
      {64, "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
  };
  for (const auto& c : cases) EXPECT_EQ(to_hex(sha256_of(std::string(c.length, 'a'))), c.hex) << c.length;
}

}  // namespace
}  // namespace morbs::digest
