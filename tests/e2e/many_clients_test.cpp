// Many clients at once against nodes that serve only two SFTP sessions each:
// the logins beyond wait at the node, the exchanges a busy node turns away
// are tried again, and every client's upload and download goes through.
#include <filesystem>
#include <functional>
#include <regex>
#include <thread>

#include "tests/e2e/pushbox_fixture.h"

namespace morbs::e2e {
namespace {

constexpr int clients = 6;
// Above MIN_FSIZE: split into a part per node, so every client needs a
// session on every node.
constexpr size_t file_size = 1200000;

class ManyClients : public PushboxTest {
 protected:
  std::filesystem::path folder(int k) const { return dir_.path() / ("client" + std::to_string(k)); }

  void make_folders() {
    for (int k = 0; k < clients; ++k) {
      std::filesystem::create_directories(folder(k));
      write_file(folder(k) / "client.config",
                 "IP_ADDR=127.0.0.1&\nINIT_PORT_Q=" + std::to_string(net_->base_port()) +
                     "&\nTMIMEOUT_SEC=2&\nTRANSFERS=1&\nTEST=1&\n");
      copy_certificate_to(folder(k));
      write_file(folder(k) / "mine.bin", content_of(file_size, static_cast<unsigned>(k + 1)));
    }
  }

  // Runs `args_of(k)` in every client's folder at once, each in a thread of
  // its own; the results in client order.
  std::vector<platform::RunResult> all_at_once(const std::function<std::vector<std::string>(int)>& args_of) {
    std::vector<platform::RunResult> results(clients);
    std::vector<std::thread> threads;
    for (int k = 0; k < clients; ++k) {
      threads.emplace_back([&, k] {
        platform::RunOptions options;
        options.working_directory = folder(k).string();
        options.timeout_ms = 240000;
        options.merge_standard_error = true;
        auto r = platform::run_process(args_of(k), options);
        results[static_cast<size_t>(k)] = r ? *r : platform::RunResult{};
      });
    }
    for (auto& t : threads) t.join();
    return results;
  }

  void list_everywhere() {
    const auto lists = all_at_once([](int) { return std::vector<std::string>{program("pullbox"), "-list", push_id}; });
    for (int k = 0; k < clients; ++k) EXPECT_EQ(lists[k].exit_code, 0) << k << ": " << lists[k].output;
  }

  std::string mine(int k) const { return stored_name(k, "c" + std::to_string(k) + ".bin"); }

  // The stored name ("prefix:name") of `name` in the client's list.q.
  std::string stored_name(int k, const std::string& name) const {
    std::smatch m;
    const std::string list = read_file(folder(k) / "list.q");
    const std::regex pattern("FN=([0-9]{19}:" + name + ")[&:]");
    return std::regex_search(list, m, pattern) ? m[1].str() : "";
  }

  // Bytes the node's files take in an area: what its free space must have
  // lost, and no more, when nothing is left reserved.
  int64_t stored_bytes(int i, const std::string& area) const {
    int64_t total = 0;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(net_->account_dir(i, push_id, area), ec))
      if (e.is_regular_file() && e.path().extension() != ".q") total += static_cast<int64_t>(e.file_size());
    return total;
  }
};

TEST_F(ManyClients, SixClientsAtOnceOnNodesOfTwoSessionsAllGoThrough) {
  start_nodes(4, std::vector<std::vector<std::string>>(4, {"--sftp-sessions", "2"}));
  const auto before = free_space();
  make_folders();

  const auto uploads = all_at_once([](int k) {
    return std::vector<std::string>{program("pushbox"), push_id, "mine.bin", "c" + std::to_string(k) + ".bin"};
  });
  for (int k = 0; k < clients; ++k) {
    EXPECT_EQ(uploads[k].exit_code, 0) << k << ": " << uploads[k].output;
    EXPECT_NE(uploads[k].output.find("SUCCESS"), std::string::npos) << k << ": " << uploads[k].output;
  }
  // Nothing left reserved: each node lost exactly what its stored files take.
  const auto after = free_space();
  for (int i = 0; i < nodes(); ++i) {
    for (const char* area : {"accounts", "accounts1"}) {
      const std::string key = area == std::string("accounts") ? "ACCOUNTS" : "ACCOUNTS1";
      EXPECT_EQ(std::stoll(field(before[i], key.c_str())) - std::stoll(field(after[i], key.c_str())),
                stored_bytes(i, area))
          << "node " << i << " " << area;
    }
  }

  list_everywhere();
  const auto fetches = all_at_once([this](int k) {
    return std::vector<std::string>{program("pullbox"), "-rd", push_id, mine(k), "back.bin"};
  });
  for (int k = 0; k < clients; ++k) {
    EXPECT_EQ(fetches[k].exit_code, 0) << k << ": " << fetches[k].output;
    EXPECT_EQ(read_file(folder(k) / "back.bin"), content_of(file_size, static_cast<unsigned>(k + 1))) << k;
  }

  list_everywhere();
  const auto erased = all_at_once([this](int k) { return std::vector<std::string>{program("erasebox"), "-d", mine(k)}; });
  for (int k = 0; k < clients; ++k) EXPECT_EQ(erased[k].exit_code, 0) << k << ": " << erased[k].output;
  EXPECT_EQ(free_space(), before);
}

}  // namespace
}  // namespace morbs::e2e
