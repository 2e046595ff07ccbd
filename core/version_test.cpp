#include "core/version.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

namespace morbs {
namespace {

TEST(Version, IsThreeNumbers) {
  EXPECT_TRUE(std::regex_match(std::string(version()), std::regex("[0-9]+\\.[0-9]+\\.[0-9]+")))
      << version();
}

// Only the one form is the version question; every other list is the
// program's own to answer.
TEST(Version, AskedOnlyByTheSingleArgument) {
  struct Case {
    std::vector<const char*> args;  // after the program's name
    bool asked;
  };
  const Case cases[] = {
      {{"--version"}, true},
      {{}, false},
      {{"--version", "x"}, false},
      {{"x", "--version"}, false},
      {{"-version"}, false},
      {{"--Version"}, false},
      {{"--version "}, false},
      {{"-v"}, false},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv{"program"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    std::string shown;
    for (const char* arg : c.args) shown += std::string("[") + arg + "]";
    EXPECT_EQ(asks_for_version(static_cast<int>(argv.size()), argv.data()), c.asked) << shown;
  }
}

TEST(Version, TextIsTheProgramAndTheVersion) {
  EXPECT_EQ(version_text("pullbox"), "pullbox " + std::string(version()) + "\n");
}

}  // namespace
}  // namespace morbs
