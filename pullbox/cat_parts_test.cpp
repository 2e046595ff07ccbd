#include "pullbox/cat_parts.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace morbs::pullbox {
namespace {

namespace fs = std::filesystem;

class CatParts : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("cat_parts_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  std::string stem() const { return path("tmp_part"); }
  void write(const std::string& name, const std::string& content) const {
    std::ofstream(path(name), std::ios::binary) << content;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  bool exists(const std::string& name) const { return fs::exists(path(name)); }
  // Everything in the directory, so that a leftover shows.
  std::vector<std::string> names() const {
    std::vector<std::string> all;
    for (const auto& e : fs::directory_iterator(dir_)) all.push_back(e.path().filename().string());
    std::sort(all.begin(), all.end());
    return all;
  }
  static std::string pattern(size_t size, char seed) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>(seed + i * 7 % 251);
    return s;
  }

  fs::path dir_;
};

TEST_F(CatParts, JoinsThePartsInOrderAndDeletesThem) {
  const std::string a = pattern(4096, 'a'), b = pattern(5000, 'b');
  write("tmp_part_0", a);
  write("tmp_part_1", b);
  write("tmp_part_2", "");
  write("out.bin", std::string(20000, 'x'));  // replaced, not appended to
  EXPECT_EQ(cat_parts(stem(), path("out.bin"), 3, 1), 0);
  EXPECT_EQ(read("out.bin"), a + b);
  EXPECT_EQ(names(), std::vector<std::string>{"out.bin"});
}

TEST_F(CatParts, BlockBoundaries) {
  const size_t mib = size_t{1} << 20;
  for (size_t size : {size_t{0}, size_t{1}, size_t{4095}, size_t{4096}, size_t{4097}, mib - 1, mib, mib + 1,
                      3 * mib - 1}) {
    // Part 0 is moved; the later ones are copied.
    const std::string content = pattern(size, 'q');
    write("tmp_part_0", "head");
    write("tmp_part_1", content);
    ASSERT_EQ(cat_parts(stem(), path("out"), 2, 0), 0) << size;
    EXPECT_EQ(read("out"), "head" + content) << size;
  }
}

TEST_F(CatParts, AFirstPartThatIsALinkIsCopiedNotMoved) {
  write("target", "linked bytes");
  fs::create_symlink(path("target"), path("tmp_part_0"));
  EXPECT_EQ(cat_parts(stem(), path("out"), 1, 0), 0);
  EXPECT_EQ(read("out"), "linked bytes");
  EXPECT_FALSE(fs::is_symlink(path("out")));
  EXPECT_EQ(read("target"), "linked bytes");
}

TEST_F(CatParts, AMissingPartLeavesTheUsersFileAsItWas) {
  write("tmp_part_0", "part zero");
  write("tmp_part_2", "part two");
  write("out.bin", "the user's own file");
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(cat_parts(stem(), path("out.bin"), 3, 1), -1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "\nError: can't open part - " + stem() + "_1\n");
  EXPECT_EQ(read("out.bin"), "the user's own file");
  // Part 0 was used, the failed part and the later ones stay; no partial file.
  EXPECT_EQ(names(), (std::vector<std::string>{"out.bin", "tmp_part_2"}));
}

TEST_F(CatParts, AMissingPartCreatesNoOutput) {
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(cat_parts(stem(), path("out.bin"), 1, 0), -1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_TRUE(names().empty());
}

TEST_F(CatParts, APartThatIsNoRegularFileIsRefusedWithoutWaiting) {
  ASSERT_EQ(::mkfifo(path("tmp_part_0").c_str(), 0600), 0);
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(cat_parts(stem(), path("out"), 1, 1), -1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "\nError: can't open part - " + stem() + "_0\n");
  EXPECT_FALSE(exists("out"));
}

TEST_F(CatParts, NoCountEmptiesTheOutput) {
  write("out", "old");
  EXPECT_EQ(cat_parts(stem(), path("out"), 0, 1), 0);
  EXPECT_TRUE(exists("out"));
  EXPECT_EQ(read("out"), "");
}

TEST_F(CatParts, OutputNamesAreTakenAsTheyAre) {
  const std::string odd = "my file 'a' \"b\" $HOME & `id` #1";
  write("tmp_part_0", "one");
  write("tmp_part_1", "two");
  EXPECT_EQ(cat_parts(stem(), path(odd), 2, 1), 0);
  EXPECT_EQ(read(odd), "onetwo");
}

TEST_F(CatParts, AnOutputThatCannotBeWritten) {
  struct Case {
    std::string out;
    std::string printed;
  } cases[] = {
      {path("no/such/dir/out"), "\nError: can't open file for write\n"},
      {path("adir"), "\nError: can't write " + path("adir") + "\n"},
  };
  fs::create_directory(path("adir"));
  write("adir/inside", "kept");
  for (const Case& c : cases) {
    write("tmp_part_0", "data");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(cat_parts(stem(), c.out, 1, 1), -1) << c.out;
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.printed) << c.out;
    EXPECT_EQ(read("adir/inside"), "kept");
    for (const auto& name : names()) EXPECT_EQ(name.find(".pullbox"), std::string::npos) << name;
  }
}

TEST_F(CatParts, AFileThereUnderTheWorkingNameIsLeftAlone) {
  write(".pullbox_join_0", "someone else's");
  write("tmp_part_0", "data");
  EXPECT_EQ(cat_parts(stem(), path("out"), 1, 1), 0);
  EXPECT_EQ(read("out"), "data");
  EXPECT_EQ(read(".pullbox_join_0"), "someone else's");
}

TEST_F(CatParts, SizesBeyond32Bits) {
  // Sparse: the size is metadata only.
  const int64_t size = 5LL * 1024 * 1024 * 1024 + 3;
  write("big", "");
  fs::resize_file(path("big"), static_cast<uintmax_t>(size));
  EXPECT_EQ(get_size_local_file(path("big")), size);
  EXPECT_EQ(get_size_local_file(path("missing")), -1);
  EXPECT_EQ(get_size_local_file(dir_.string()), -1);
}

}  // namespace
}  // namespace morbs::pullbox
