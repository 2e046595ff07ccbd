// The upload flow on a scripted data network and played transfers: what is
// asked of which node in which order, what is said, what is left behind.
#include "pushbox/upload.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "transfer/testing/scripted_network.h"

namespace morbs::pushbox {
namespace {

namespace fs = std::filesystem;
using morbs::testing::PlayedTransfers;
using morbs::testing::ScriptedNetwork;

constexpr int base = 9201;
const std::string id = "12345678903";

class UploadFlow : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("upload_flow_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    old_ = fs::current_path();
    fs::current_path(dir_);
    settings_.ip_addr = "127.0.0.1";
    settings_.init_port = base;
    settings_.min_fsize = 1000;
  }
  void TearDown() override {
    fs::current_path(old_);
    fs::remove_all(dir_);
  }
  morbs::Status run(const std::string& content, bool matrix, int transfers = 1) {
    std::ofstream("my file.bin", std::ios::binary) << content;
    settings_.transfers = transfers;
    morbs::RunEnv env{reporter_, net_, played_};
    UploadRequest request{id, "my file.bin", "my_file.bin", static_cast<int64_t>(content.size())};
    return upload(request, matrix, settings_, "user01", env);
  }
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_, old_;
  morbs::Settings settings_ = morbs::Settings::defaults(morbs::Program::pushbox);
  ScriptedNetwork net_{base, 4};
  PlayedTransfers played_;
  morbs::RecordingReporter reporter_{true};
};

TEST_F(UploadFlow, AWholeFileIsSentTwiceThenRegisteredInOrder) {
  ASSERT_TRUE(run("hello", false).ok()) << reporter_.said;
  EXPECT_EQ(reporter_.said, "\n Upload in singular-mode\n\n\n End upload in singualar-mode. SUCCESS!\n\n");
  ASSERT_EQ(played_.started.size(), 2u);
  for (const auto& [url, bytes] : played_.stored) EXPECT_EQ(bytes, "hello") << url;
  // The basic copy on the node with the most room (a tie: the later one), the
  // second on the next best; each node hears its requests in the written order.
  const std::string fn = "1514764800000000005:my_file.bin";
  EXPECT_EQ(net_.sent_to(3, "OP="), (std::vector<std::string>{
                                        "OP=currentspace&", "OP=sshpasswd&", "OP=timeprec&",
                                        "OP=resv&ID=" + id + "&DISK=accounts&FN=" + fn + "&FSZ=5&",
                                        "OP=listfiles&SUB=add&FN=" + fn + "&ID=" + id +
                                            "&UID32=user01&ORG=0&PORT=9204&DISK=accounts&",
                                        "OP=listARCHI&SUB=add&ID=" + id + "&DISK=accounts&FN=" + fn +
                                            "&DIRF=auto&ORG=0&PORT=9204&"}));
  EXPECT_EQ(net_.sent_to(2, "OP=listfiles").size(), 1u);
  EXPECT_EQ(files(), std::vector<std::string>{"my file.bin"});  // no journal left
}

TEST_F(UploadFlow, ACopyThatFailsForGoodGivesEveryReservationBack) {
  played_.failing["MORB3"] = 3;  // the second copy's node
  EXPECT_FALSE(run("hello", false).ok());
  EXPECT_EQ(reporter_.said,
            "\n Upload in singular-mode\n\n"
            "Error: upload file, attmpt[1] from 3\nError: upload file, attmpt[2] from 3\n"
            "Error: upload file, attmpt[3] from 3\n");
  for (int node : {2, 3}) {
    EXPECT_EQ(net_.sent_to(node, "OP=listfiles&SUB=chg").size(), 1u) << node;
    EXPECT_TRUE(net_.sent_to(node, "OP=listfiles&SUB=add").empty()) << node;
  }
  EXPECT_EQ(files(), (std::vector<std::string>{"my file.bin", "zz-errors.txt"}));
}

// The parts are cut just before they go, both copies of each part carry its
// bytes, and no part file stays, one transfer at a time or four.
TEST_F(UploadFlow, PartsGoWholeAndTheirFilesGo) {
  std::string content;
  for (int i = 0; i < 4003; ++i) content += static_cast<char>('a' + i % 26);
  for (int transfers : {1, 4}) {
    SCOPED_TRACE(transfers);
    played_ = PlayedTransfers();
    reporter_.said.clear();
    ASSERT_TRUE(run(content, true, transfers).ok()) << reporter_.said;
    EXPECT_NE(reporter_.said.find(" File part: 3 size: 1003\n"), std::string::npos) << reporter_.said;
    ASSERT_EQ(played_.stored.size(), 8u);
    std::map<std::string, std::string> parts;  // stored name -> bytes, both copies alike
    for (const auto& [url, bytes] : played_.stored) {
      const std::string name = url.substr(url.rfind('/') + 1);
      if (parts.count(name)) EXPECT_EQ(parts[name], bytes) << name;
      parts[name] = bytes;
    }
    std::string joined;
    for (const auto& [name, bytes] : parts) joined += bytes;
    EXPECT_EQ(joined, content);
    EXPECT_EQ(files(), std::vector<std::string>{"my file.bin"});
  }
}

}  // namespace
}  // namespace morbs::pushbox
