// pushbox when something fails: whatever it reserved is given back, and the
// disaster file is kept exactly when that could not be done.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/e2e/pushbox_fixture.h"

namespace morbs::e2e {
namespace {

namespace fs = std::filesystem;
using Options = std::vector<std::vector<std::string>>;

// Node 0 has the most room and node 1 the second most: a whole file goes to
// node 0 (basic copy) and node 1 (second copy). `faults[i]` are further
// switches of node i.
Options places(Options faults, int nodes = 4) {
  faults.resize(static_cast<size_t>(nodes));
  for (int i = 0; i < nodes; ++i) {
    const int64_t capacity = i == 0 ? 3000000 : i == 1 ? 2000000 : 1000000 + i * 1000;
    auto& f = faults[static_cast<size_t>(i)];
    f.insert(f.begin(), {"--capacity", std::to_string(capacity)});
  }
  return faults;
}

class PushboxFailure : public PushboxTest {
 protected:
  void start(Options faults, int nodes = 4) {
    start_nodes(nodes, places(std::move(faults), nodes));
    config("MIN_SIZE=100000&\n");
    before_ = free_space();
  }
  // Stored data of every node (the lists aside).
  std::vector<std::string> data_files() const {
    std::vector<std::string> out;
    for (int i = 0; i < nodes(); ++i) {
      std::error_code ec;
      for (auto it = fs::recursive_directory_iterator(net_->root(i), ec); it != fs::recursive_directory_iterator();
           it.increment(ec)) {
        const std::string p = it->path().string();
        if (it->is_regular_file() && p.find("/ACCOUNTS") != std::string::npos && p.substr(p.size() - 2) != ".q")
          out.push_back(p);
      }
    }
    return out;
  }
  std::vector<std::string> listed_as(const std::string& flag) const {
    std::vector<std::string> out;
    for (int i = 0; i < nodes(); ++i)
      for (const std::string area : {"accounts", "accounts1"})
        for (const auto& l : list_lines(i, area))
          if (field(l, "CURR") == flag) out.push_back(l);
    return out;
  }
  // Nothing is reserved or stored any more, and no disaster file is left.
  void expect_all_given_back(const std::string& out) {
    EXPECT_EQ(free_space(), before_) << out;
    EXPECT_TRUE(data_files().empty()) << out;
    EXPECT_TRUE(listed_as("ishere").empty()) << out;
    EXPECT_TRUE(files_named(".disater").empty()) << out;
    EXPECT_TRUE(files_named("tmp_mfile").empty()) << out;
    EXPECT_EQ(out.find("SUCCESS"), std::string::npos) << out;
  }
  std::string upload_sized(size_t size) {
    dir_.write("data.bin", content_of(size));
    return upload("data.bin", "data.bin");
  }

  std::vector<std::string> before_;
};

constexpr size_t whole = 3000, split = 200003;

TEST_F(PushboxFailure, SftpServiceDownOnAChosenNode) {
  for (const char* transfers : {"1", "4"})
  for (size_t size : {whole, split}) {
    SCOPED_TRACE(std::to_string(size) + " bytes, TRANSFERS=" + transfers);
    start({{}, {"--sftp-off"}});
    config(std::string("MIN_SIZE=100000&\nTRANSFERS=") + transfers + "&\n");
    fs::remove(dir_ / "zz-errors.txt");
    const std::string out = upload_sized(size);
    EXPECT_NE(out.find("Error: upload file, attmpt[1] from 3\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Error: upload file, attmpt[3] from 3\n"), std::string::npos) << out;
    EXPECT_EQ(dir_.read("zz-errors.txt"), "data.bin\n");
    expect_all_given_back(out);
  }
}

TEST_F(PushboxFailure, ANodeRefusesTheReservation) {
  // Whole file: node 0 reserved before node 1 refused. Split file: basic
  // copies of parts 0 and 1 reserved before node 2 refused.
  for (auto [size, refusing] : {std::pair{whole, 1}, std::pair{split, 2}}) {
    SCOPED_TRACE(size);
    Options faults(4);
    faults[static_cast<size_t>(refusing)] = {"--refuse-op", "resv"};
    start(faults);
    const std::string out = upload_sized(size);
    EXPECT_NE(out.find("\n connection to data-network is interrupted\n"), std::string::npos) << out;
    EXPECT_FALSE(resv_requests(0).empty());
    expect_all_given_back(out);
  }
}

TEST_F(PushboxFailure, ARegistrationRefused) {
  struct Case {
    size_t size;
    int node;
    const char* op;
    const char* printed;
  };
  const Case cases[] = {
      {whole, 1, "listARCHI", ""},
      {split, 2, "listfiles-add", "Error: second write to listfiles 1\n"},
      {split, 3, "listARCHI", "Error: second write to listARCHI 2\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.op) + " on node " + std::to_string(c.node));
    Options faults(4);
    faults[static_cast<size_t>(c.node)] = {"--refuse-op", c.op};
    start(faults);
    const std::string out = upload_sized(c.size);
    EXPECT_NE(out.find(c.printed), std::string::npos) << out;
    // What had been registered is marked deleted.
    EXPECT_FALSE(listed_as("delete").empty()) << out;
    expect_all_given_back(out);
  }
}

TEST_F(PushboxFailure, NoNodeHasRoom) {
  struct Case {
    size_t size;
    const char* printed;
  };
  for (const Case& c : {Case{whole, "\n no free space in nodes or nodes are closed\n"},
                        Case{split, "\n not enough free space in nodes for write in matrix-mode\n"}}) {
    SCOPED_TRACE(c.size);
    start_nodes(4, {}, static_cast<int64_t>(c.size / 5));
    config("MIN_SIZE=100000&\n");
    before_ = free_space();
    const std::string out = upload_sized(c.size);
    EXPECT_NE(out.find(c.printed), std::string::npos) << out;
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(resv_requests(i).empty());
    expect_all_given_back(out);
  }
}

TEST_F(PushboxFailure, ANodeDownBeforePlanning) {
  start({});
  net_->stop(0);
  std::string out = upload_sized(whole);
  EXPECT_NE(out.find("SUCCESS!"), std::string::npos) << out;
  EXPECT_FALSE(list_lines(1, "accounts").empty());
  EXPECT_FALSE(list_lines(3, "accounts").empty());  // the next with most room

  net_->stop(2);
  out = upload_sized(split);
  EXPECT_NE(out.find("\n Upload in matrix-mode, nr nodes: 2\n"), std::string::npos) << out;
  EXPECT_NE(out.find("SUCCESS!"), std::string::npos) << out;
  EXPECT_EQ(list_lines(1, "accounts").size(), 1u + 2u);
  EXPECT_EQ(list_lines(3, "accounts").size(), 1u + 2u);
}

// The basic copy's node refuses its first two opens: the copy is sent on the
// third attempt, the second copy on its first. Why an attempt failed is
// said on standard error, between the attempt lines of standard output.
TEST_F(PushboxFailure, ATransferFailingTwiceThenSucceeds) {
  start({{"--sftp-fail-opens", "2"}});
  const std::string content = content_of(whole);
  dir_.write("data.bin", content);
  const std::string out = run_apart({push_id, "data.bin", "data.bin"});
  EXPECT_EQ(last_exit(), 0) << out << last_error();
  EXPECT_NE(out.find("Error: upload file, attmpt[1] from 3\nError: upload file, attmpt[2] from 3\n"),
            std::string::npos)
      << out;
  size_t said = 0;
  for (const auto& line : lines_of(last_error())) said += line.rfind("basic copy: ", 0) == 0;
  EXPECT_EQ(said, 2u) << last_error();
  EXPECT_EQ(out.find("attmpt[3]"), std::string::npos) << out;
  EXPECT_NE(out.find("SUCCESS!"), std::string::npos) << out;
  const std::string fn = field(list_lines(0, "accounts").at(0), "FN");
  EXPECT_EQ(stored(0, "accounts", fn), content);
  EXPECT_EQ(stored(1, "accounts", fn), content);
  EXPECT_FALSE(fs::exists(dir_ / "zz-errors.txt"));
}

// Killed in the middle of a transfer (or of several at once), then
// -clear_disaster gives it all back. The nodes take the first bytes of a
// session and then hang, so the run is killed while its uploads are under way.
TEST_F(PushboxFailure, KilledDuringATransferThenCleared) {
  for (const char* transfers : {"1", "4"}) {
    SCOPED_TRACE(std::string("TRANSFERS=") + transfers);
    Options stalling(4, {"--sftp-stall-after", "1"});
    start(stalling);
    config(std::string("MIN_SIZE=100000&\nTRANSFERS=") + transfers + "&\n");
    dir_.write("data.bin", content_of(split));
    const bool killed = kill_pushbox_when(
        {push_id, "data.bin", "data.bin"}, [this] { return !data_files().empty(); },
        [] { std::this_thread::sleep_for(std::chrono::milliseconds(200)); });  // the other transfers under way too
    ASSERT_TRUE(killed) << read_file(dir_ / "pushbox.out");

    ASSERT_EQ(files_named(".disater"), std::vector<std::string>{"data.bin-matrix.disater"});
    EXPECT_EQ(lines_of(dir_.read("data.bin-matrix.disater")).size(), 8u);
    EXPECT_NE(free_space(), before_);
    const std::string out = run({"-clear_disaster"});
    EXPECT_NE(out.find("data.bin-matrix.disater"), std::string::npos) << out;
    EXPECT_EQ(free_space(), before_);
    EXPECT_TRUE(files_named(".disater").empty());
    EXPECT_TRUE(data_files().empty());
  }
}

// A failed upload ends with a failure status and one line on standard error
// that says which file was not stored and why, whatever TEST says.
TEST_F(PushboxFailure, AFailedUploadSaysWhyAndEndsWithAFailureStatus) {
  for (const char* test : {"TEST=1&\n", "TEST=0&\n"}) {
    SCOPED_TRACE(test);
    start({{"--sftp-off"}});
    config("MIN_SIZE=100000&\n", test);
    dir_.write("data.bin", content_of(3000));
    const std::string out = upload("data.bin", "data.bin");
    EXPECT_EQ(last_exit(), 1) << out;
    EXPECT_NE(out.find("pushbox: data.bin: not stored: the transfer of the basic copy failed\n"), std::string::npos)
        << out;
    EXPECT_EQ(free_space(), before_);
  }
}

// A node whose SFTP service stalls mid-upload: each attempt ends after
// STALL_SEC without progress, the upload fails clearly and nothing stays
// reserved.
TEST_F(PushboxFailure, AStalledUploadEndsAndGivesEverythingBack) {
  start({{"--sftp-stall-after", "50000"}});
  config("MIN_SIZE=1000000&\nSTALL_SEC=1&\n");
  dir_.write("data.bin", content_of(400000));
  const std::string out = upload("data.bin", "data.bin");
  EXPECT_EQ(last_exit(), 1) << out;
  EXPECT_NE(out.find("Error: upload file, attmpt[3] from 3\n"), std::string::npos) << out;
  EXPECT_NE(out.find("pushbox: data.bin: not stored: the transfer of the basic copy failed"), std::string::npos)
      << out;
  EXPECT_EQ(free_space(), before_);
  EXPECT_TRUE(files_named(".disater").empty());
}

TEST_F(PushboxFailure, OfTwoDisasterFilesTheUnreachableOneIsKept) {
  start({});
  const std::string fn = "1514764800000000005:kept.bin";
  ASSERT_NE(net_->request(0, "OP=resv&ID=" + push_id + "&DISK=accounts&FN=" + fn + "&FSZ=5000&").find("STATUS=done"),
            std::string::npos);
  const std::string line0 = "OP=resv&ID=" + push_id + "&DISK=accounts&FN=" + fn +
                            "&FSZ=5000&IPADDR=127.0.0.1&PORT=" + std::to_string(net_->query_port(0)) + "&\n";
  const std::string line1 = "OP=resv&ID=" + push_id + "&DISK=accounts&FN=1514764800000000006:x.bin" +
                            "&FSZ=5000&IPADDR=127.0.0.1&PORT=" + std::to_string(net_->query_port(1)) + "&\n";
  dir_.write("good.bin-singular.disater", line0);
  dir_.write("lost.disater.old", line1);
  net_->stop(1);
  const std::string out = run({"-clear_disaster"});
  EXPECT_NE(out.find("Error[!]: abort connection clear-disaster[0]"), std::string::npos) << out;
  EXPECT_EQ(files_named(".disater"), std::vector<std::string>{"lost.disater.old"});
  EXPECT_EQ(dir_.read("lost.disater.old"), line1);
  EXPECT_EQ(free_space()[0], before_[0]);
}

TEST_F(PushboxFailure, MalformedDisasterLinesKeepTheirFile) {
  start({});
  const std::string port = std::to_string(net_->query_port(0));
  struct Case {
    const char* name;
    std::string content;
    const char* printed;
  };
  const Case cases[] = {
      {"empty.disater", "", nullptr},
      {"nofn.disater", "OP=resv&ID=" + push_id + "&DISK=accounts&FSZ=1&IPADDR=127.0.0.1&PORT=" + port + "&\n",
       "Error[!]: incorrect disaster-string [1]"},
      {"noaddr.disater", "OP=resv&ID=" + push_id + "&DISK=accounts&FN=1:a&FSZ=1&PORT=" + port + "&\n",
       "Error[!]: incorrect disaster-string [2]"},
      {"port0.disater", "OP=resv&ID=" + push_id + "&DISK=accounts&FN=1:a&FSZ=1&IPADDR=127.0.0.1&PORT=0&\n",
       "Error[!]: incorrect disaster-string [3]"},
      {"portbig.disater", "OP=resv&ID=" + push_id + "&DISK=accounts&FN=1:a&FSZ=1&IPADDR=127.0.0.1&PORT=70000&\n",
       "Error[!]: incorrect disaster-string [3]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dir_.write(c.name, c.content);
    const std::string out = run({"-clear_disaster"});
    if (c.printed) {
      EXPECT_NE(out.find(c.printed), std::string::npos) << out;
      EXPECT_TRUE(fs::exists(dir_ / c.name));
      fs::remove(dir_ / c.name);
    } else {
      EXPECT_FALSE(fs::exists(dir_ / c.name)) << out;
    }
  }
}

}  // namespace
}  // namespace morbs::e2e
