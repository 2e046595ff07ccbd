#include "transfer/transliteration.h"

#include <gtest/gtest.h>

namespace morbs {
namespace {

std::string utf8(std::string_view in) {
  std::string out;
  decode_utf8(in, out);
  return out;
}

std::string win(std::string name) {
  decode_win(name);
  return name;
}

TEST(DecodeUtf8, PolishPhrase) {
  EXPECT_EQ(utf8("Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 g\xC4\x99\xC5\x9Bl\xC4\x85 ja\xC5\xBA\xC5\x84.txt"),
            "Zazolc gesla jazn.txt");
}

TEST(DecodeUtf8, TellingEntries) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"\xC4\x84\xC4\x86\xC4\x98\xC5\x81\xC5\x83\xC3\x93\xC5\x9A\xC5\xB9\xC5\xBB", "ACELNOSZZ"},
      {"\xC3\x9F\xC3\x97\xC3\xB7\xC2\xB2\xC2\xB3", "sx-23"},
      {"\xC2\xBC\xC2\xBD\xC2\xBE\xC2\xB5\xC2\xA0", "423m_"},
      {"\xC2\xA2\xC2\xA3\xC2\xA7\xC2\xA9\xC2\xAE", "CLScR"},
      {"\xC7\x83\xCD\xBE\xC4\x8F\xC4\x94\xC3\x9D", "!;ceU"},
      {"\xCF\xBF", "3"},  // the last entry of the table
  };
  for (const auto& c : cases) EXPECT_EQ(utf8(c.in), c.out) << c.in;
}

TEST(DecodeUtf8, EveryPairOfTheTableBecomesOneAsciiSign) {
  const std::string allowed =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-!;._";
  int pairs = 0;
  for (int lead = 0xC2; lead <= 0xCF; ++lead) {
    for (int second = lead == 0xC2 ? 0xA0 : 0x80; second <= 0xBF; ++second) {
      const std::string out = utf8(std::string{static_cast<char>(lead), static_cast<char>(second)});
      ASSERT_EQ(out.size(), 1u) << std::hex << lead << " " << second;
      EXPECT_NE(allowed.find(out[0]), std::string::npos) << std::hex << lead << " " << second;
      ++pairs;
    }
  }
  EXPECT_EQ(pairs, 864);
}

TEST(DecodeUtf8, BytesOutsideTheTablePassUnchanged) {
  const char* unchanged[] = {
      "\xE2\x82\xAC",      // euro sign: a three-byte sequence
      "\xD0\x96\xD1\x8F",  // Cyrillic
      "\xC3\x28",          // not valid UTF-8
      "\xC2\x85",          // C2 80..9F are not in the table
      "name\xC4",          // a lone lead byte at the end
      "report_2024.pdf",
  };
  for (const char* in : unchanged) EXPECT_EQ(utf8(in), in);
}

TEST(DecodeWin, ReplacesOnlyTheTableBytes) {
  EXPECT_EQ(win("\x5A\x61\xBF\xF3\xB3\xE6"), "Zazolc");
  EXPECT_EQ(win("\x8A\xE1\x72\x6B\x61"), "\x8A\xE1\x72\x6B\x61");  // not in the table
  EXPECT_EQ(win("\xC4\x85"), "A\x85");  // a UTF-8 lead byte is a CP1250 letter
  EXPECT_EQ(win("\xFC"), "u");
  EXPECT_EQ(win("plain.txt"), "plain.txt");
}

TEST(DecodeWin, CoversAllFiftyEightBytes) {
  int replaced = 0;
  for (int b = 0; b < 256; ++b) {
    std::string s(1, static_cast<char>(b));
    decode_win(s);
    replaced += s[0] != static_cast<char>(b);
  }
  EXPECT_EQ(replaced, 58);
}

}  // namespace
}  // namespace morbs
