// pullbox -rd into a directory whose disk fills up: the run fails, its last
// line on standard error names the file and the disk's own words, and the
// user's OUT stays as it was. The disk is a tiny tmpfs of the test's own.
#include <filesystem>

#include "tests/e2e/pullbox_fixture.h"
#include "tests/e2e/support/scratch_mount.h"

namespace morbs::e2e {
namespace {

namespace fs = std::filesystem;

class FullDisk : public PullboxTest {
 protected:
  std::string last_line_of(const std::string& text) {
    const std::vector<std::string> all = lines(text);
    for (auto it = all.rbegin(); it != all.rend(); ++it)
      if (!it->empty()) return *it;
    return "";
  }
  ScratchMount disk_{dir_ / "full", "64k"};
};

TEST_F(FullDisk, ADownloadThatDoesNotFitSaysSoAndLeavesOutAsItWas) {
  if (!disk_.mounted()) GTEST_SKIP() << disk_.why();
  start_nodes(2, "MIN_SIZE=150000&INSTALLED_SERVERS=2&\n");
  const std::string whole = push("whole.bin", pattern(120000, 1));
  const std::string split = push("split.bin", pattern(300000, 2));
  const std::string small = push("small.bin", pattern(100, 3));
  const std::string out = (disk_.path() / "out.bin").string();
  const std::string out2 = (disk_.path() / "out2.bin").string();
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string failing_out;  // the one named last
  };
  const Case cases[] = {{"whole", {"-rd", id, whole, out}, out},
                        {"split", {"-rd", id, split, out}, out},
                        {"several", {"-rd", id, small, out2, split, out}, out}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    write_file(out, "the user's own");
    platform::RunOptions options;
    options.working_directory = dir_.str();
    options.timeout_ms = 120000;
    options.capture_error = true;
    std::vector<std::string> argv = {program("pullbox")};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const auto r = platform::run_process(argv, options);
    ASSERT_TRUE(r && !r->timed_out);
    EXPECT_NE(r->exit_code, 0) << r->output << r->error;
    const std::string last = last_line_of(r->error);
    EXPECT_EQ(last.rfind("pullbox: " + c.failing_out + ": not fetched: ", 0), 0u) << r->error;
    EXPECT_NE(last.find("No space left on device"), std::string::npos) << r->error;
    EXPECT_EQ(read_file(out), "the user's own");
    // Nothing half-written stays on the full disk.
    for (const auto& e : fs::directory_iterator(disk_.path())) {
      const std::string n = e.path().filename().string();
      EXPECT_TRUE(n == "out.bin" || n == "out2.bin") << n;
    }
    fs::remove(out2);
  }
}

}  // namespace
}  // namespace morbs::e2e
