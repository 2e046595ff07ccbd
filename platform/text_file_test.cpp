#include "platform/text_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace morbs::platform {
namespace {

namespace fs = std::filesystem;

class TextFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("morbs_text_file_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  static std::string content(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::vector<std::string> names() const {
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(dir_)) found.push_back(e.path().filename().string());
    std::sort(found.begin(), found.end());
    return found;
  }
  fs::path dir_;
};

TEST_F(TextFile, ReadsEveryLineOfARegularFileOnly) {
  const struct {
    const char* text;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"a\nb\n", {"a", "b"}},
      {"a\nlast without end", {"a", "last without end"}},
      {"\n\n", {"", ""}},
  };
  for (const auto& c : cases) {
    std::ofstream(path("list.q"), std::ios::binary | std::ios::trunc) << c.text;
    EXPECT_EQ(read_lines(path("list.q")), c.lines) << c.text;
  }
  EXPECT_EQ(read_lines(path("missing.q")), std::nullopt);
  fs::create_directory(path("dir.q"));
  EXPECT_EQ(read_lines(path("dir.q")), std::nullopt);
  // A FIFO would hold the reader for ever: it is no file to read.
  ASSERT_EQ(::mkfifo(path("fifo.q").c_str(), 0600), 0);
  EXPECT_EQ(read_lines(path("fifo.q")), std::nullopt);
}

TEST_F(TextFile, AppendsALineAndSaysWhenItCannot) {
  EXPECT_TRUE(append_line(path("journal"), "A=1&"));
  EXPECT_TRUE(append_line(path("journal"), ""));
  EXPECT_EQ(content(path("journal")), "A=1&\n\n");
  EXPECT_FALSE(append_line(path("no/such/dir/journal"), "A=1&"));
}

TEST_F(TextFile, WritesAsideAndRenamesIntoPlace) {
  std::ofstream(path("view.q")) << "old\n";
  EXPECT_TRUE(write_lines(path("view.q"), {"x", "y"}));
  EXPECT_EQ(content(path("view.q")), "x\ny\n");
  EXPECT_EQ(names(), std::vector<std::string>{"view.q"});
  // A stale file beside is no obstacle, and goes.
  std::ofstream(path("view.q.part")) << "stale\n";
  EXPECT_TRUE(write_lines(path("view.q"), {}));
  EXPECT_EQ(content(path("view.q")), "");
  EXPECT_EQ(names(), std::vector<std::string>{"view.q"});
  // A place no file can take: false, nothing left beside.
  fs::create_directories(path("taken") + "/inside");
  EXPECT_FALSE(write_lines(path("taken"), {"x"}));
  EXPECT_EQ(names(), (std::vector<std::string>{"taken", "view.q"}));
}

}  // namespace
}  // namespace morbs::platform
