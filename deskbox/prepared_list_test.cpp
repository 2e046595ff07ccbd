#include "deskbox/prepared_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "deskbox/work_files.h"

namespace morbs::deskbox {
namespace {

class InWorkDir : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("morbs_deskbox_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::create_directories(dir_);
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
  }
  void TearDown() override {
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(dir_);
  }
  static std::string read(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::filesystem::path dir_, previous_;
};

// What the dialog shows has no control character; the line chosen from it
// stands for the stored name as it is, unless two names are shown alike.
TEST_F(InWorkDir, ShownLinesStandForTheirStoredNames) {
  const std::string plain = "1514764800000000001:a?b", hostile = "1514764800000000002:a\x1b" "b",
                    twin1 = "1514764800000000003:c\x01", twin2 = "1514764800000000003:c\x02";
  std::ofstream(prepared_list_file, std::ios::binary)
      << "DATE=D1&FN=" << plain << "&\nDATE=D2&FN=" << hostile << "&\nDATE=D3&FN=" << twin1
      << "&\nDATE=D3&FN=" << twin2 << "&\n";
  const Rewritten rewritten = rewrite_prepared_list(false);
  ASSERT_TRUE(rewritten.created);
  EXPECT_EQ(rewritten.lines, 4u);
  EXPECT_EQ(read(scratch_file), "D1  1514764800000000001:a?b\nD2  1514764800000000002:a?b\n"
                                "D3  1514764800000000003:c?\nD3  1514764800000000003:c?\n");
  EXPECT_EQ(rewritten.real_line("D1  " + plain), "D1  " + plain);
  EXPECT_EQ(rewritten.real_line("D2  1514764800000000002:a?b"), "D2  " + hostile);
  EXPECT_EQ(rewritten.real_line("D3  1514764800000000003:c?"), std::nullopt);
}

}  // namespace
}  // namespace morbs::deskbox
