#include "pushbox/disaster.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/wire/scripted_node.h"

namespace pushbox {
namespace {

using morbs::testing::ScriptedNode;
namespace fs = std::filesystem;

const morbs::ConnectionWait wait{1, 0};

TEST(AddListFilesArchi, TheNodesVerdict) {
  ScriptedNode node([](const std::string& request) -> std::string {
    if (request.find("FN=ok") != std::string::npos) return "STATUS=done&RE=added&";
    return "STATUS=refused&RE=file_listed&CP=already there&";
  });
  ASSERT_TRUE(node.listening());
  const std::string port = std::to_string(node.port());
  struct Case {
    std::string line;
    int result;
    std::string message, printed;
  };
  const Case cases[] = {
      {"OP=listfiles&SUB=add&FN=ok&PORT=" + port + "&", 1, "kept", ""},
      {"OP=listfiles&SUB=add&FN=no&PORT=" + port + "&", 0, "kept", "Error: file_listed:  already there\n"},
      {"OP=listfiles&SUB=add&FN=ok&", 0, "abort by undefined port in list/archi strings", ""},
      {"null", 0, "abort by undefined port in list/archi strings", ""},
      {"OP=listfiles&SUB=add&FN=ok&PORT=1&", 0, "abort connection for write list/archi strings", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    std::string message = "kept";
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(add_list_files_archi("127.0.0.1", c.line, message, 1, wait), c.result);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.printed);
    EXPECT_EQ(message, c.message);
  }
  EXPECT_EQ(node.requests().front(), "OP=listfiles&SUB=add&FN=ok&PORT=" + port + "&");
}

class DisasterFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("disaster_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    path_ = (dir_ / "a.bin-matrix.disater").string();
  }
  void TearDown() override { fs::remove_all(dir_); }
  void write(const std::string& text) { std::ofstream(path_) << text; }
  fs::path dir_;
  std::string path_;
};

TEST_F(DisasterFile, EveryLineIsReleasedOnItsNode) {
  ScriptedNode node([](const std::string&) { return std::string("STATUS=refused&"); });
  ASSERT_TRUE(node.listening());
  const std::string at = "&IPADDR=127.0.0.1&PORT=" + std::to_string(node.port()) + "&\n";
  write("OP=resv&ID=12345678903&DISK=accounts&FN=15:a.bin:0&FSZ=500&" + at +
        "OP=resv&ID=12345678903&DISK=accounts1&FN=15:a.bin:1&FSZ=501&" + at);
  // The node's answer is not examined: the release counts as sent.
  EXPECT_EQ(free_reserved_space_after_disater(path_, 0, wait), 0);
  EXPECT_EQ(node.requests(),
            (std::vector<std::string>{
                "OP=listfiles&SUB=chg&DISK=accounts&FN=15:a.bin:0&ID=12345678903&CURRNEW=delete&",
                "OP=listfiles&SUB=chg&DISK=accounts1&FN=15:a.bin:1&ID=12345678903&CURRNEW=delete&"}));
}

TEST_F(DisasterFile, MalformedOrUnreachableStopsAtThatLine) {
  ScriptedNode node([](const std::string&) { return std::string("STATUS=done&"); });
  ASSERT_TRUE(node.listening());
  const std::string good = "OP=resv&ID=12345678903&DISK=accounts&FN=15:a&FSZ=1&IPADDR=127.0.0.1&PORT=" +
                           std::to_string(node.port()) + "&\n";
  struct Case {
    std::string bad_line;
    const char* printed;
  };
  const Case cases[] = {
      {"OP=resv&ID=12345678903&DISK=accounts&FN=15:NULL&FSZ=1&IPADDR=127.0.0.1&PORT=9&",
       "Error[!]: incorrect disaster-string [1]\n"},
      {"", "Error[!]: incorrect disaster-string [1]\n"},
      {std::string(520, 'x') + "&ID=1&DISK=a&FN=b&", "Error[!]: incorrect disaster-string [1]\n"},
      {"OP=resv&ID=12345678903&DISK=accounts&FN=15:a&PORT=9&", "Error[!]: incorrect disaster-string [2]\n"},
      {"OP=resv&ID=12345678903&DISK=accounts&FN=15:a&IPADDR=127.0.0.1&PORT=x&",
       "Error[!]: incorrect disaster-string [3]\n"},
      {"OP=resv&ID=12345678903&DISK=accounts&FN=15:a&IPADDR=127.0.0.1&PORT=1&",
       "Error[!]: abort connection clear-disaster[0]\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.printed);
    write(good + c.bad_line + "\n" + good);
    const size_t sent = node.requests().size();
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(free_reserved_space_after_disater(path_, 1, wait), -1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.printed);
    EXPECT_EQ(node.requests().size(), sent + 1);  // the good line before it only
  }
  // A file that cannot be read counts as released.
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(free_reserved_space_after_disater((dir_ / "none.disater").string(), 1, wait), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Error[!]: can't open disaster-file\n");
}

}  // namespace
}  // namespace pushbox
