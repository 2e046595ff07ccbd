#include "core/wire/number_generator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/wire/wire.h"

namespace morbs {
namespace {

TEST(Multiply, KeepsEveryColumn) {
  EXPECT_EQ(multiply("5", "5"), "25");
  EXPECT_EQ(multiply("2", "3"), "06");
  EXPECT_EQ(multiply("12", "034"), "00408");
  EXPECT_EQ(multiply("99999", "99999"), "9999800001");
}

TEST(Mod, RemainderOfADigitText) {
  EXPECT_EQ(mod("00408", 7), 2);
  EXPECT_EQ(mod("00408", 0), -1);
  EXPECT_EQ(mod("281474976710598", wire::modulus), 1);
}

TEST(RsaRand, StateZeroStaysZero) {
  GeneratorState g;
  RSA_srand(g, 0);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(RSA_rand(g), 0);
}

TEST(RsaRand, IsTheSixthPowerModuloM) {
  GeneratorState g;
  RSA_srand(g, 7);
  // 7^6 = 117649 < M
  EXPECT_EQ(RSA_rand(g), 117649);
  // 117649^6 mod M, low 32 bits as signed: computed with 128-bit arithmetic.
  unsigned __int128 v = 1, m = wire::modulus;
  for (int i = 0; i < 6; ++i) v = (v * 117649) % m;
  EXPECT_EQ(RSA_rand(g), static_cast<int32_t>(static_cast<uint32_t>(v)));
}

TEST(RsaRand, NegativeStateFollowsTheDigitRules) {
  // "-1": "-" counts as the digit -3, so the text "-1" is the number -29.
  // Both ends must agree on this; pin the first value.
  GeneratorState g;
  RSA_srand(g, static_cast<uint32_t>(-1));
  const std::string s = "-1";
  std::string acc = s;
  for (int i = 0; i < 5; ++i) acc = multiply(acc, s);
  EXPECT_EQ(acc.size(), 12u);
  int64_t r = mod(acc, wire::modulus);
  EXPECT_EQ(RSA_rand(g), static_cast<int32_t>(static_cast<uint32_t>(r)));
  // (-29)^6 = 594823321 written in twelve columns.
  EXPECT_EQ(r, 594823321);
}

// The shortcut for non-negative states against the digit-text arithmetic
// it replaces, over the edges of the range and a spread of states between.
TEST(RsaRand, NonNegativeStatesAgreeWithTheDigitTexts) {
  std::vector<int32_t> states = {0, 1, 2, 9, 10, 99, 46340, 65535, 65536, 2147483646, 2147483647};
  for (uint32_t x = 12345; states.size() < 300; x = x * 1103515245u + 12345u)
    states.push_back(static_cast<int32_t>(x & 0x7FFFFFFF));
  for (int32_t s : states) {
    const std::string text = std::to_string(s);
    std::string acc = text;
    for (int i = 0; i < 5; ++i) acc = multiply(acc, text);
    const int32_t by_text = static_cast<int32_t>(static_cast<uint32_t>(mod(acc, wire::modulus)));
    GeneratorState g;
    RSA_srand(g, static_cast<uint32_t>(s));
    EXPECT_EQ(RSA_rand(g), by_text) << s;
  }
}

TEST(Atoui, ConvertsOrRefuses) {
  uint32_t out = 77;
  EXPECT_EQ(atoui("12a", out), 1);
  EXPECT_EQ(out, 77u);
  EXPECT_EQ(atoui("4294967295", out), 0);
  EXPECT_EQ(out, 4294967295u);
  EXPECT_EQ(atoui("99999999999", out), 0);
  EXPECT_EQ(out, 4294967295u);
  EXPECT_EQ(atoui("0042", out), 0);
  EXPECT_EQ(out, 42u);
}

}  // namespace
}  // namespace morbs
