#include "transfer/transfer.h"

#include <gtest/gtest.h>

namespace morbs {
namespace {

// Local names reach curl as they are: curl's own name patterns are off, and
// a file called "-" is never standard input or output.
TEST(CurlArguments, LocalNamesReachCurlLiterally) {
  struct Case {
    Direction direction;
    std::string local;
    bool progress;
    std::vector<std::string> tail;  // from the login on
  };
  const Case cases[] = {
      {Direction::upload, "x{y}.txt", true, {"-T", "x{y}.txt", "--progress-bar"}},
      {Direction::upload, "Invoice [2024].pdf", true, {"-T", "Invoice [2024].pdf", "--progress-bar"}},
      {Direction::upload, "-", true, {"-T", "./-", "--progress-bar"}},
      {Direction::upload, "-o", true, {"-T", "-o", "--progress-bar"}},
      {Direction::download, "", true, {"-o", "-", "--progress-bar"}},
      {Direction::download, "-", false, {"-o", "./-", "-Ss"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.local);
    Transfer t;
    t.direction = c.direction;
    t.url = "sftp://127.0.0.1:1/f";
    t.login = "u:p";
    t.local = c.local;
    t.progress = c.progress;
    std::vector<std::string> want = {"curl", "-k", "--globoff", "sftp://127.0.0.1:1/f", "--user", "u:p"};
    want.insert(want.end(), c.tail.begin(), c.tail.end());
    EXPECT_EQ(curl_arguments(t), want);
  }
}

}  // namespace
}  // namespace morbs
