// The working directory of a pullbox run: certificate, a local data network,
// pushbox to store files into it and pullbox to get them back.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/wire/query_string.h"
#include "platform/process.h"
#include "tests/e2e/support/certificate_fixture.h"
#include "tests/e2e/support/datanet.h"
#include "tests/e2e/support/temp_dir.h"

namespace morbs::e2e {

class PullboxTest : public ::testing::Test {
 protected:
  static inline const std::string id = "12345678903";

  void SetUp() override { copy_certificate_to(dir_.path()); }

  // Starts `count` nodes; `config` lines go after the loopback settings
  // (each line sets TEST as well: 0 unless it says TEST=1&).
  void start_nodes(int count, const std::string& config = "", std::vector<std::vector<std::string>> extra = {}) {
    nodes_ = count;
    net_ = std::make_unique<DataNet>(dir_.path(), count, std::move(extra));
    // A loaded machine may take longer than the default 0.15 s to accept a
    // connection; a node missed that way would drop its lines from list.q.
    add_config("TMIMEOUT_SEC=3&TEST=1&\n" + config);
  }
  void add_config(const std::string& lines) {
    dir_.write("client.config", dir_.read("client.config") + lines);
  }

  // The run's standard output (and error, when `with_errors`).
  platform::RunResult run(const std::string& name, const std::vector<std::string>& args, long timeout_ms = 120000,
                          bool with_errors = false) {
    std::vector<std::string> argv = {program(name)};
    argv.insert(argv.end(), args.begin(), args.end());
    platform::RunOptions options;
    options.working_directory = dir_.str();
    options.timeout_ms = timeout_ms;
    options.merge_standard_error = with_errors;
    auto r = platform::run_process(argv, options);
    EXPECT_TRUE(r && !r->timed_out) << name;
    // 0 when the run did what it was asked; the status of the last run.
    last_exit_ = r ? r->exit_code : -1;
    return r ? *r : platform::RunResult{};
  }
  // pullbox's standard output.
  std::string pull(const std::vector<std::string>& args) { return run("pullbox", args).output; }

  // Uploads `content` under `name` with pushbox; the stored name
  // ("prefix:name") it got.
  std::string push(const std::string& name, const std::string& content) {
    const std::string local = "upload-" + name;
    dir_.write(local, content);
    const std::string out = run("pushbox", {id, local, name}).output;
    std::filesystem::remove(dir_ / local);
    const std::string fn = stored_name_of(name);
    EXPECT_FALSE(fn.empty()) << out;
    return fn;
  }

  // The name a file was stored under, found in the nodes' lists.
  std::string stored_name_of(const std::string& name) const {
    for (int i = 0; i < nodes_; ++i)
      for (const char* area : {"accounts", "accounts1"})
        for (const std::string& line : lines(node_list(i, area))) {
          std::string fn;
          select_value(line, "FN", fn);
          const size_t at = fn.find(":" + name);
          if (at != std::string::npos) return fn.substr(0, at + 1 + name.size());
        }
    return "";
  }
  std::string node_list(int i, const std::string& area) const {
    return read_file(net_->account_dir(i, id, area) / "files_list.q");
  }
  static std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> all;
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      all.push_back(text.substr(start, end - start));
      start = end + 1;
    }
    return all;
  }
  // The list lines of every node that hold `text`, in node order.
  std::vector<std::string> list_lines_with(const std::string& text) const {
    std::vector<std::string> found;
    for (int i = 0; i < nodes_; ++i)
      for (const char* area : {"accounts", "accounts1"})
        for (const std::string& line : lines(node_list(i, area)))
          if (line.find(text) != std::string::npos) found.push_back(line);
    return found;
  }
  // The stored file of the copy with ORG `org` of `fn` on its node's disk;
  // empty when no list holds it.
  std::filesystem::path copy_on_disk(const std::string& fn, const std::string& org) const {
    for (const std::string& line : list_lines_with("FN=" + fn + "&")) {
      std::string port, disk, o;
      select_value(line, "PORT", port);
      select_value(line, "DISK", disk);
      select_value(line, "ORG", o);
      if (o == org) return net_->account_dir(std::stoi(port) - net_->base_port(), id, disk) / fn;
    }
    return {};
  }
  // One byte of `file` changed in place: the same size, other bytes.
  static void flip_byte(const std::filesystem::path& file, std::streamoff at) {
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    f.seekg(at);
    char c = 0;
    f.get(c);
    f.seekp(at);
    f.put(static_cast<char>(c ^ 0x5a));
  }
  // Runs `program`, both its streams into `output`; its exit status.
  int exit_of(const std::string& program, const std::vector<std::string>& args, std::string& output) {
    output = run(program, args, 120000, true).output;
    return last_exit_;
  }
  bool exists(const std::string& name) const { return std::filesystem::exists(dir_ / name); }
  // Files pullbox leaves behind in the working directory.
  std::vector<std::string> leftovers() const {
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::directory_iterator(dir_.path())) {
      const std::string n = e.path().filename().string();
      if (n.rfind("tmp", 0) == 0 || n.rfind("list", 0) == 0 || n.rfind(".pullbox", 0) == 0) found.push_back(n);
    }
    std::sort(found.begin(), found.end());
    return found;
  }
  // How often `what` stands in `text`.
  static size_t count_of(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }
  // A byte pattern that shows any shift, loss or doubling.
  static std::string pattern(size_t size, unsigned seed) {
    std::string s(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
      x = x * 1103515245u + 12345u;
      s[i] = static_cast<char>(x >> 24);
    }
    return s;
  }

  TempDir dir_{"pullbox"};
  std::unique_ptr<DataNet> net_;
  int nodes_ = 0;
  int last_exit_ = -1;
};

}  // namespace morbs::e2e
