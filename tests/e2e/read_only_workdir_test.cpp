// pushbox in a working directory that cannot be written: no disaster file
// can be kept, so nothing may be reserved (a kill would leave reservations
// that -clear_disaster cannot find). The directory is a tmpfs of the
// test's own, made read-only once the run's files are in it.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e/pushbox_fixture.h"
#include "tests/e2e/support/scratch_mount.h"

namespace morbs::e2e {
namespace {

namespace fs = std::filesystem;

class ReadOnlyWorkdir : public PushboxTest {
 protected:
  // pushbox run in the read-only directory; its standard error apart.
  platform::RunResult run_there(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {program("pushbox")};
    argv.insert(argv.end(), args.begin(), args.end());
    platform::RunOptions options;
    options.working_directory = work_.path().string();
    options.timeout_ms = 60000;
    options.capture_error = true;
    auto r = platform::run_process(argv, options);
    EXPECT_TRUE(r && !r->timed_out) << args[0];
    return r ? *r : platform::RunResult{};
  }
  size_t reservations() const {
    size_t n = 0;
    for (int i = 0; i < nodes(); ++i) n += resv_requests(i).size();
    return n;
  }
  // Before the directory is mounted: a test dir removed with the mount in it
  // would reach into the mount.
  ScratchMount work_{dir_ / "ro", "4m"};
};

TEST_F(ReadOnlyWorkdir, NothingIsReservedWithoutADisasterFile) {
  if (!work_.mounted()) GTEST_SKIP() << work_.why();
  start_nodes(4);
  config("MIN_SIZE=100000&\n");
  // A file with its basic copy gone from its node, for -repair.
  dir_.write("r.bin", content_of(3000, 4));
  upload("r.bin", "r.bin");
  ASSERT_EQ(last_exit(), 0);
  bool removed = false;
  for (int i = 0; i < nodes(); ++i)
    for (const std::string area : {"accounts", "accounts1"})
      for (const std::string& line : list_lines(i, area))
        if (field(line, "FN").find(":r.bin") != std::string::npos && field(line, "ORG") == "0")
          removed = fs::remove(net_->account_dir(i, push_id, area) / field(line, "FN")) || removed;
  ASSERT_TRUE(removed);

  for (const char* file : {"client.config", "crt.tmp"}) fs::copy_file(dir_ / file, work_.path() / file);
  write_file(work_.path() / "whole.bin", content_of(3000, 1));
  write_file(work_.path() / "split.bin", content_of(200003, 2));
  ASSERT_TRUE(work_.make_read_only()) << work_.why();
  const std::vector<std::string> space = free_space();
  const size_t reserved = reservations();

  // A repair stops earlier, at the scratch files of the lists it reads.
  struct Case {
    const char* name;
    std::vector<std::string> args;
    const char* why;
  };
  const char* journal = "cannot write the disaster file";
  const Case cases[] = {{"one whole file", {push_id, "whole.bin", "whole.bin"}, journal},
                        {"one split file", {push_id, "split.bin", "split.bin"}, journal},
                        {"two files", {push_id, "whole.bin", "w2.bin", "split.bin", "s2.bin"}, journal},
                        {"repair", {"-repair", push_id}, "no scratch file for a list in the working directory"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const platform::RunResult r = run_there(c.args);
    EXPECT_NE(r.exit_code, 0) << r.output << r.error;
    EXPECT_NE(r.error.find(c.why), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("read-only file system"), std::string::npos) << r.error;
    EXPECT_EQ(r.output.find("SUCCESS"), std::string::npos) << r.output;
    EXPECT_EQ(reservations(), reserved) << r.output << r.error;
    EXPECT_EQ(free_space(), space) << r.output << r.error;
  }
  for (const char* name : {"whole.bin", "split.bin", "w2.bin", "s2.bin"})
    for (int i = 0; i < nodes(); ++i)
      for (const std::string area : {"accounts", "accounts1"})
        for (const std::string& line : list_lines(i, area))
          EXPECT_EQ(field(line, "FN").find(std::string(":") + name), std::string::npos) << line;
}

}  // namespace
}  // namespace morbs::e2e
