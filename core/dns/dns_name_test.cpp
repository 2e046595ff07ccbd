#include "core/dns/dns_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace morbs {
namespace {

std::vector<uint8_t> bytes(std::string_view text) { return {text.begin(), text.end()}; }

TEST(ChangetoDnsNameFormat, WritesEachLabelAfterItsLength) {
  std::vector<uint8_t> out;
  ASSERT_TRUE(ChangetoDnsNameFormat(out, "ab.cde"));
  EXPECT_EQ(out, (std::vector<uint8_t>{2, 'a', 'b', 3, 'c', 'd', 'e', 0}));
  ASSERT_TRUE(ChangetoDnsNameFormat(out, "ab.cde."));  // absolute form, same name
  EXPECT_EQ(out, (std::vector<uint8_t>{2, 'a', 'b', 3, 'c', 'd', 'e', 0}));
}

TEST(ChangetoDnsNameFormat, RefusesNamesWithoutALabelForm) {
  std::string longest(63, 'a');
  std::string name_253 = longest + "." + longest + "." + longest + "." + std::string(61, 'b');
  ASSERT_EQ(name_253.size(), 253u);
  struct Case {
    std::string host;
    bool fits;
  } cases[] = {
      {longest, true},          {longest + "a", false},        {name_253, true},
      {name_253 + "b", false},  {std::string(300, 'x'), false}, {"", false},
      {".", false},             {"a..b", false},               {".a", false},
      {"a.b..", false},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> out{9};
    EXPECT_EQ(ChangetoDnsNameFormat(out, c.host), c.fits) << c.host;
    if (c.fits) {
      EXPECT_EQ(out.size(), (c.host.ends_with('.') ? c.host.size() : c.host.size() + 1) + 1);
    } else {
      EXPECT_TRUE(out.empty());
    }
  }
}

TEST(ReadName, ReadsAPlainNameAndCountsItsZero) {
  auto reply = bytes(std::string("\x03www\x04test\x00", 10));
  size_t consumed = 0;
  EXPECT_EQ(ReadName(reply, 0, consumed), "www.test");
  EXPECT_EQ(consumed, 10u);
  EXPECT_EQ(ReadName(reply, 9, consumed), "");  // the root name
  EXPECT_EQ(consumed, 1u);
}

TEST(ReadName, FollowsAPointerAndCountsTheBytesBeforeItPlusTwo) {
  // 0: "host.test"; 11: "a" + pointer to 0; 15: a pointer to 11 (pointer to pointer).
  auto reply = bytes(std::string("\x04host\x04test\x00" "\x01" "a\xC0\x00" "\xC0\x0B", 17));
  size_t consumed = 0;
  EXPECT_EQ(ReadName(reply, 11, consumed), "a.host.test");
  EXPECT_EQ(consumed, 4u);
  EXPECT_EQ(ReadName(reply, 15, consumed), "a.host.test");
  EXPECT_EQ(consumed, 2u);
}

TEST(ReadName, RefusesNamesThatLoopOrLeaveTheReply) {
  struct Case {
    const char* what;
    std::string reply;
    size_t position;
  } cases[] = {
      {"pointer to itself", std::string("\xC0\x00", 2), 0},
      {"pointer forward", std::string("\xC0\x02\x01" "a\x00", 5), 0},
      {"two pointers that point at each other", std::string("\x01" "a\xC0\x04\x01" "b\xC0\x00", 8), 4},
      {"pointer into its own name", std::string("\x01" "a\x01" "b\xC0\x02", 6), 0},
      {"pointer beyond the end", std::string("\x01" "a\xC0\x40", 4), 0},
      {"pointer cut in half", std::string("\x01" "a\xC0", 3), 0},
      {"label beyond the end", std::string("\x05" "ab", 3), 0},
      {"no final zero", std::string("\x01" "a", 2), 0},
      {"reserved label type", std::string("\x41" "a\x00", 3), 0},
      {"position beyond the end", std::string("\x00", 1), 5},
  };
  for (const Case& c : cases) {
    size_t consumed = 99;
    EXPECT_FALSE(ReadName(bytes(c.reply), c.position, consumed)) << c.what;
    EXPECT_EQ(consumed, 0u) << c.what;
  }
}

TEST(ReadName, RefusesNamesOver255Bytes) {
  // Five labels of 50 and one of 3 make 5 * 51 + 4 + 1 = 260 bytes; the
  // same without the last label is 256; four labels and one of 49 is 255.
  auto name_of = [](int count, int tail) {
    std::string wire;
    for (int i = 0; i < count; ++i) wire += '\x32' + std::string(50, 'a');
    if (tail) wire += static_cast<char>(tail) + std::string(tail, 'b');
    return wire + '\0';
  };
  size_t consumed = 0;
  EXPECT_FALSE(ReadName(bytes(name_of(5, 3)), 0, consumed));
  EXPECT_FALSE(ReadName(bytes(name_of(5, 0)), 0, consumed));
  auto fits = ReadName(bytes(name_of(4, 49)), 0, consumed);
  ASSERT_TRUE(fits);
  EXPECT_EQ(fits->size(), 253u);
  EXPECT_EQ(consumed, 255u);

  // Built from pieces joined by pointers: each piece is short, the whole is not.
  std::string chain = name_of(0, 0);  // 0: root
  size_t previous = 0;
  for (int i = 0; i < 6; ++i) {
    size_t here = chain.size();
    chain += '\x32' + std::string(50, 'c');
    chain += static_cast<char>(0xC0 | (previous >> 8));
    chain += static_cast<char>(previous & 0xFF);
    previous = here;
  }
  EXPECT_FALSE(ReadName(bytes(chain), previous, consumed));
}

}  // namespace
}  // namespace morbs
