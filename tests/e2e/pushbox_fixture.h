// What the pushbox end-to-end tests share: a data network in a directory of
// the test's own, pushbox run there, and readers of what the nodes hold.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/wire/query_string.h"
#include "platform/process.h"
#include "tests/e2e/support/certificate_fixture.h"
#include "tests/e2e/support/datanet.h"
#include "tests/e2e/support/temp_dir.h"

namespace morbs::e2e {

inline const std::string push_id = "12345678903";

inline std::string field(const std::string& line, const char* key) {
  std::string v;
  select_value(line, key, v);
  return v;
}

inline std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) out.push_back(line);
  return out;
}

// Bytes of every value, in an order that differs from part to part.
inline std::string content_of(size_t size, unsigned seed = 1) {
  std::string s(size, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1664525u + 1013904223u;
    s[i] = static_cast<char>(x >> 24);
  }
  return s;
}

class PushboxTest : public ::testing::Test {
 protected:
  void SetUp() override { copy_certificate_to(dir_.path()); }

  // `nodes` nodes; each gets a fixed capacity so that free space can be
  // compared before and after (node i: `capacity` + i*1000 bytes per area,
  // unless `extra` says otherwise).
  void start_nodes(int nodes, std::vector<std::vector<std::string>> extra = {}, int64_t capacity = 50000000) {
    extra.resize(static_cast<size_t>(nodes));
    for (int i = 0; i < nodes; ++i) {
      auto& e = extra[static_cast<size_t>(i)];
      bool has_capacity = false;
      for (const auto& a : e) has_capacity = has_capacity || a.rfind("--capacity", 0) == 0;
      if (!has_capacity) e.insert(e.begin(), {"--capacity", std::to_string(capacity + i * 1000)});
    }
    net_ = std::make_unique<DataNet>(dir_.path(), nodes, std::move(extra));
    node_count_ = nodes;
    config("");
  }
  // client.config for the network, with further lines. The last line
  // decides the verbose flag, so TEST comes last. A busy machine may take
  // longer than the default wait to accept a connection.
  void config(const std::string& more, const std::string& test = "TEST=1&\n") {
    dir_.write("client.config", transfers_line() + "IP_ADDR=127.0.0.1&\nINIT_PORT_Q=" + std::to_string(net_ ? net_->base_port() : 9) +
                                    "&\nTMIMEOUT_SEC=2&\n" + more + test);
  }
  // pushbox's standard output and error, merged as a terminal shows them.
  std::string run(const std::vector<std::string>& args, long timeout_ms = 60000) {
    return run_pushbox(args, timeout_ms, true);
  }
  // Its standard output alone, the system's own texts; standard error in
  // last_error().
  std::string run_apart(const std::vector<std::string>& args, long timeout_ms = 60000) {
    return run_pushbox(args, timeout_ms, false);
  }
  const std::string& last_error() const { return last_error_; }
  std::string run_pushbox(const std::vector<std::string>& args, long timeout_ms, bool merged) {
    std::vector<std::string> argv = {program("pushbox")};
    argv.insert(argv.end(), args.begin(), args.end());
    platform::RunOptions options;
    options.working_directory = dir_.str();
    options.timeout_ms = timeout_ms;
    options.merge_standard_error = merged;
    options.capture_error = !merged;
    auto r = platform::run_process(argv, options);
    if (!r) return "<pushbox did not start>";
    EXPECT_FALSE(r->timed_out) << r->output << r->error;
    // 0 when the run did what it was asked; the status of the last run.
    last_exit_ = r->exit_code;
    last_error_ = r->error;
    return r->output;
  }
  int last_exit() const { return last_exit_; }
  int last_exit_ = -1;
  std::string last_error_;
  std::string upload(const std::string& local, const std::string& name) {
    return run({push_id, local, name});
  }

  std::string list_file(int i, const std::string& area, const char* file) const {
    return read_file(net_->account_dir(i, push_id, area) / file);
  }
  std::vector<std::string> list_lines(int i, const std::string& area) const {
    return lines_of(list_file(i, area, "files_list.q"));
  }
  std::vector<std::string> archive_lines(int i, const std::string& area) const {
    return lines_of(list_file(i, area, "archive_list.q"));
  }
  std::string stored(int i, const std::string& area, const std::string& fn) const {
    return read_file(net_->account_dir(i, push_id, area) / fn);
  }
  // Free bytes of both areas of every node, as the nodes report them.
  std::vector<std::string> free_space() const {
    std::vector<std::string> out;
    for (int i = 0; i < nodes(); ++i) out.push_back(net_->request(i, "OP=currentspace&"));
    return out;
  }
  int nodes() const { return node_count_; }
  // SFTP logins the nodes took, i.e. connections a client opened to them.
  size_t sftp_logins() const {
    size_t count = 0;
    for (int i = 0; i < nodes(); ++i)
      for (const auto& l : lines_of(net_->log(i))) count += l == "SFTP login";
    return count;
  }
  // Runs pushbox with `args` in the background until `under_way` is true
  // (by default: a node took an SFTP login since, so the run's transfers
  // have begun), calls `meanwhile` and kills pushbox with SIGKILL. False
  // when that did not happen within 20 s; pushbox's output is in pushbox.out.
  bool kill_pushbox_when(const std::vector<std::string>& args, std::function<bool()> under_way = {},
                         const std::function<void()>& meanwhile = {}) {
    const size_t logins = sftp_logins();
    if (!under_way) under_way = [this, logins] { return sftp_logins() > logins; };
    std::vector<std::string> argv = {program("pushbox")};
    argv.insert(argv.end(), args.begin(), args.end());
    platform::BackgroundProcess pushbox;
    if (!pushbox.start(argv, dir_.str(), (dir_ / "pushbox.out").string())) return false;
    bool seen = false;
    for (int waited = 0; waited < 20000 && !(seen = under_way()); waited += 50)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (seen && meanwhile) meanwhile();
    ::kill(pushbox.pid(), SIGKILL);
    pushbox.stop();
    return seen;
  }
  std::vector<std::string> resv_requests(int i) const {
    std::vector<std::string> out;
    for (const auto& l : lines_of(net_->log(i)))
      if (l.rfind("OP=resv&", 0) == 0) out.push_back(l);
    return out;
  }
  std::vector<std::string> files_named(const std::string& part) const {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir_.path())) {
      std::string n = e.path().filename().string();
      if (n.find(part) != std::string::npos) out.push_back(n);
    }
    return out;
  }

  TempDir dir_{"pushbox"};
  std::unique_ptr<DataNet> net_;
  int node_count_ = 0;
};

}  // namespace morbs::e2e
