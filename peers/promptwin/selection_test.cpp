#include "peers/promptwin/selection.h"

#include <gtest/gtest.h>

namespace morbs::promptwin {
namespace {

const std::vector<std::string> lines = {
    "2018-03-15  14:05:09  1514764800000000007:b.txt",
    "2018-03-15  14:05:08  1514764800000000006:report.pdf",
    "2018-03-15  14:05:07  1514764800000000005:a.txt",
};

TEST(Choose, NumbersAndTextsInListOrderEachOnce) {
  struct Case {
    std::string answer;
    std::vector<size_t> chosen;
  } cases[] = {
      {"", {}},
      {"   ", {}},
      {"2", {1}},
      {"3 1", {0, 2}},
      {"1,3", {0, 2}},
      {"1 1 1", {0}},
      {"~.txt", {0, 2}},
      {"~report 2", {1}},
  };
  for (const auto& c : cases) {
    std::string error;
    auto chosen = choose(lines, c.answer, error);
    ASSERT_TRUE(chosen) << c.answer << ": " << error;
    EXPECT_EQ(*chosen, c.chosen) << c.answer;
  }
}

TEST(Choose, AWordThatNamesNoLineIsRefused) {
  for (std::string answer : {"0", "4", "-1", "x", "1x", "2 9", "~nothing", "~", "99999999999999999999999"}) {
    std::string error;
    EXPECT_FALSE(choose(lines, answer, error)) << answer;
    EXPECT_FALSE(error.empty());
  }
  std::string error;
  EXPECT_FALSE(choose({}, "1", error));
}

}  // namespace
}  // namespace morbs::promptwin
