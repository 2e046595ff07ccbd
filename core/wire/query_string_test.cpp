#include "core/wire/query_string.h"

#include <gtest/gtest.h>

namespace morbs {
namespace {

struct LookupCase {
  const char* text;
  const char* key;
  int result;
  const char* value;
};

TEST(SelectValue, LooksUpFieldsAsPlainSubstrings) {
  const LookupCase cases[] = {
      {"OP=currentspace&", "OP", 0, "currentspace"},
      {"A=1&B=2&", "B", 0, "2"},
      {"A=1&A=2&", "A", 0, "1"},            // first occurrence counts
      {"GTIME=5&TIME=7&", "TIME", 0, "5"},  // matches inside a longer key
      {"MYTEST=1&", "TEST", 0, "1"},
      {"EMPTY=&", "EMPTY", 0, ""},
      {"IP_ADDR=10.1.2.3", "IP_ADDR", -1, "NULL"},  // no closing "&"
      {"AB&", "AB", -1, "NULL"},                    // shorter than 4
      {"X=1&", "Y", -1, "NULL"},
  };
  for (const auto& c : cases) {
    std::string out = "junk";
    EXPECT_EQ(select_value(c.text, c.key, out), c.result) << c.text;
    EXPECT_EQ(out, c.value) << c.text;
  }
}

TEST(SelectValue, StopsAtTheFirstNul) {
  std::string block("A=1&", 4);
  block += '\0';
  block += "B=2&";
  std::string out;
  EXPECT_EQ(select_value(block, "B", out), -1);
}

TEST(CheckString, DigitsAndDotsOnly) {
  EXPECT_EQ(check_string("10.0.0.4"), 0);
  EXPECT_EQ(check_string(""), 0);
  EXPECT_EQ(check_string("node.local"), 1);
  EXPECT_EQ(check_string("1.2.3.4 "), 1);
}

}  // namespace
}  // namespace morbs
