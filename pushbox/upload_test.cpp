// The upload flow on a scripted data network and played transfers: what is
// asked of which node in which order, what is said, what is left behind.
#include "pushbox/upload.h"

#include "lists/listed_digest.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "transfer/testing/scripted_network.h"
#include "transfer/testing/working_directory.h"

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
    settings_.ip_addr = "127.0.0.1";
    settings_.init_port = base;
    settings_.min_fsize = 1000;
    net_.uploads = &played_.stored;
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
    for (const auto& e : fs::directory_iterator(dir_.path())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  morbs::testing::WorkingDirectory dir_{"upload_flow"};
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
  // Both lines end with the digest of what was sent; stripped of it, they
  // are the written lines byte for byte.
  const std::string sha_of_hello = "SHA=2cf24dba5fb0a30e26e83b2ac5b9e29e1b161e5c1fa7425e73043362938b9824&";
  std::vector<std::string> sent = net_.sent_to(3, "OP=");
  for (std::string& line : sent) {
    if (line.rfind("OP=list", 0) != 0) continue;
    EXPECT_TRUE(line.ends_with(sha_of_hello)) << line;
    line = without_listed_digest(line);
  }
  EXPECT_EQ(sent, (std::vector<std::string>{
                                        "OP=currentspace&", "OP=sshpasswd&", "OP=timeprec&",
                                        "OP=resv&ID=" + id + "&DISK=accounts&FN=" + fn + "&FSZ=5&",
                                        "OP=chkfile&ID=" + id + "&DISK=accounts&PFN=" + fn + "&",
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
      if (parts.count(name)) {
        EXPECT_EQ(parts[name], bytes) << name;
      }
      parts[name] = bytes;
    }
    std::string joined;
    for (const auto& [name, bytes] : parts) joined += bytes;
    EXPECT_EQ(joined, content);
    EXPECT_EQ(files(), std::vector<std::string>{"my file.bin"});
  }
}

// Each copy is checked on its node before anything is registered: bytes
// changed on the way are a failed attempt, retried; a node that keeps no
// digests is taken on sizes, and the run says so once.
TEST_F(UploadFlow, EveryCopyIsCheckedOnItsNodeBeforeItIsRegistered) {
  std::string big(2500, 'x');
  struct Case {
    const char* name;
    std::string content;
    bool matrix;
    const char* altered;  // URL text of the copies changed on the way
    int times;
    bool no_digest;
    bool stored;
    const char* said;  // a line the run must have said
  } cases[] = {
      {"altered once, retried", "hello", false, "MORB3", 1, false, true,
       "second copy: the node holds other bytes than were sent\nError: upload file, attmpt[1] from 3\n"},
      {"a part altered once", big, true, "bin:1", 1, false, true, "the node holds other bytes than were sent\n"},
      {"altered every time", "hello", false, "MORB4", 3, false, false, "Error: upload file, attmpt[3] from 3\n"},
      {"no digests, sizes only", "hello", false, "", 0, true, true,
       "keeps no digests: its copies are checked by size only\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    played_ = PlayedTransfers();
    net_.asked.clear();
    net_.no_digest = c.no_digest;
    reporter_.said.clear();
    reporter_.errors.clear();
    if (c.times > 0) played_.altering[c.altered] = c.times;
    EXPECT_EQ(run(c.content, c.matrix).ok(), c.stored) << reporter_.said;
    EXPECT_NE((reporter_.said + reporter_.errors).find(c.said), std::string::npos) << reporter_.said;
    size_t registered = 0, released = 0;
    for (const auto& a : net_.asked) {
      registered += a.request.rfind("OP=listfiles&SUB=add", 0) == 0;
      released += a.request.rfind("OP=listfiles&SUB=chg", 0) == 0;
    }
    const size_t copies = c.matrix ? 8 : 2;
    EXPECT_EQ(registered, c.stored ? copies : 0u);
    EXPECT_EQ(released, c.stored ? 0u : copies);
    if (c.stored && !c.no_digest) {
      for (const auto& [url, bytes] : played_.stored) EXPECT_EQ(bytes[0], c.content[0]) << url;
    }
    if (c.no_digest) {  // said once, not per copy
      EXPECT_EQ(reporter_.errors.find("keeps no digests"), reporter_.errors.rfind("keeps no digests"));
      EXPECT_EQ(reporter_.said.find("keeps no digests"), std::string::npos);  // beside the system's texts
    }
  }
}

}  // namespace
}  // namespace morbs::pushbox
