// An upload's digest taken on the way is given only when the bytes taken are
// the whole file, in order, with no other change in between.
#include <gtest/gtest.h>

#include <vector>

#include "peers/morbnode/upload_digest.h"

namespace morbs::node {
namespace {

struct Write {
  uint64_t offset;
  std::string data;
  uint64_t writes;  // the file's count of changes after it
};

TEST(UploadDigest, OnlyForTheWholeFileInOrder) {
  const std::string whole_hex = digest::to_hex(digest::sha256_of("abcdef"));
  struct Case {
    const char* what;
    std::vector<Write> writes;
    uint64_t size, writes_at_close;
    bool digest;
  };
  const Case cases[] = {
      {"in order", {{0, "abc", 1}, {3, "def", 2}}, 6, 2, true},
      {"out of order", {{3, "def", 1}, {0, "abc", 2}}, 6, 2, false},
      {"a gap", {{0, "abc", 1}, {4, "ef", 2}}, 6, 2, false},
      {"another writer between", {{0, "abc", 1}, {3, "def", 3}}, 6, 3, false},
      {"a change after the last write", {{0, "abc", 1}, {3, "def", 2}}, 6, 3, false},
      {"the file is longer", {{0, "abc", 1}, {3, "def", 2}}, 7, 2, false},
  };
  for (const auto& c : cases) {
    UploadDigest upload(0);
    for (const auto& w : c.writes) upload.add(w.offset, w.data, w.writes);
    const auto hex = upload.of_whole(c.size, c.writes_at_close);
    EXPECT_EQ(hex.has_value(), c.digest) << c.what;
    if (hex) {
      EXPECT_EQ(*hex, whole_hex) << c.what;
    }
  }
}

}  // namespace
}  // namespace morbs::node
