#include <gtest/gtest.h>

#include <cstdlib>

#include "deskbox/child_runs.h"

namespace morbs::deskbox {
namespace {

std::vector<std::string> joined(const std::vector<std::vector<std::string>>& runs) {
  std::vector<std::string> out;
  for (const auto& argv : runs) {
    std::string line;
    for (const auto& argument : argv) line += (line.empty() ? "" : " ") + argument;
    out.push_back(line);
  }
  return out;
}

// An argument of one character costs 2 bytes and its pointer: the head
// "p 1" with argv's end pointer takes 3 x 8 + 4 bytes, each file "x X" 2 x 8 + 4.
constexpr size_t head = 3 * sizeof(char*) + 4, file = 2 * sizeof(char*) + 4;

TEST(ChildRuns, FilesFillARunUpToTheSpaceInTheOrderChosen) {
  const std::vector<std::vector<std::string>> three = {{"a", "A"}, {"b", "B"}, {"c", "C"}};
  struct Case {
    std::vector<std::vector<std::string>> files;
    size_t space;
    int distinct;
    std::vector<std::string> runs;
  } cases[] = {
      {{}, 1 << 20, -1, {}},
      {three, 1 << 20, -1, {"p 1 a A b B c C"}},
      {three, head + 3 * file, -1, {"p 1 a A b B c C"}},
      {three, head + 3 * file - 1, -1, {"p 1 a A b B", "p 1 c C"}},
      {three, head + file, -1, {"p 1 a A", "p 1 b B", "p 1 c C"}},
      {three, head + file - 1, -1, {"p 1 a A", "p 1 b B", "p 1 c C"}},  // too big alone: still run
      {three, 0, -1, {"p 1 a A", "p 1 b B", "p 1 c C"}},
      {{{"s1", "out"}, {"s2", "out"}, {"s3", "x"}, {"s4", "out"}}, 1 << 20, 1,
       {"p 1 s1 out", "p 1 s2 out s3 x", "p 1 s4 out"}},
      {{{"s1", "out"}, {"s1", "other"}}, 1 << 20, 1, {"p 1 s1 out s1 other"}},
      {{{"one"}, {"two", "2"}}, 1 << 20, -1, {"p 1 one two 2"}},
  };
  for (const auto& c : cases) {
    ChildRuns runs{{"p", "1"}, c.files, c.distinct};
    EXPECT_EQ(joined(plan_child_runs(runs, c.space)), c.runs) << c.space;
  }
}

TEST(ChildRuns, TheSpaceLeavesTheEnvironmentOut) {
  const size_t before = argument_space();
  EXPECT_GT(before, 0u);
  ASSERT_EQ(setenv("MORBS_CHILD_RUNS_TEST", std::string(10000, 'e').c_str(), 1), 0);
  EXPECT_LE(argument_space() + 10000, before);
  unsetenv("MORBS_CHILD_RUNS_TEST");
  EXPECT_EQ(argument_space(), before);
}

}  // namespace
}  // namespace morbs::deskbox
