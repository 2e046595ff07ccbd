#include "peers/morbnode/sftp_paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace morbs::node {
namespace {

TEST(SftpPaths, ClientPathsNeverClimbAboveTheRoot) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "/"},
      {".", "/"},
      {"/", "/"},
      {"..", "/"},
      {"/../../etc/passwd", "/etc/passwd"},
      {"home//u/./a/../b", "/home/u/b"},
      {"/home/u/MORB1/ACCOUNTS/12/34/56/78/90/3/1514764800000000005:report.pdf",
       "/home/u/MORB1/ACCOUNTS/12/34/56/78/90/3/1514764800000000005:report.pdf"},
      {"a/b/../../../..", "/"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(normalize_client_path(in), out) << in;
}

TEST(SftpPaths, LinksAndThePrivateDirectoryAreNotServed) {
  char templ[] = "/tmp/sftp_paths_XXXXXX";
  ASSERT_NE(mkdtemp(templ), nullptr);
  const std::filesystem::path root = templ;
  std::filesystem::create_directories(root / "home" / "u");
  std::filesystem::create_symlink("/etc", root / "home" / "link");
  PathMap map(root);
  EXPECT_EQ(map.local("/../home/u/f"), root / "home" / "u" / "f");
  EXPECT_FALSE(map.local("/home/link/passwd"));
  EXPECT_FALSE(map.local("/home/link"));
  EXPECT_FALSE(map.local("/private/reservations.q"));
  EXPECT_FALSE(map.local("/x/../private"));
  EXPECT_TRUE(map.local("/privateer"));
  std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace morbs::node
