// Test stand-ins for the outside of a run: a data network answered from
// memory (NodeExchange) and transfers played without curl (Workers). Flow
// tests of pushbox and pullbox run on them, without sockets or children.
#pragma once

#include <algorithm>

#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/wire/node_exchange.h"
#include "core/wire/query_string.h"
#include "platform/file_region.h"
#include <unistd.h>
#include "transfer/workers.h"

namespace morbs::testing {

// Nodes at consecutive query ports, each answering the questions of a run
// with room in both areas, every reservation and registration granted.
class ScriptedNetwork final : public NodeExchange {
 public:
  struct Asked {
    int node;
    std::string request;
  };
  ScriptedNetwork(int base_port, int nodes) : base_(base_port), nodes_(nodes) {}

  bool ask(std::string_view, int port, std::string& message) override {
    const int node = port - base_;
    if (node < 0 || node >= nodes_ || down.count(node)) return false;
    asked.push_back({node, message});
    message = reply(node, message);
    return true;
  }
  // The requests node `node` was sent, in order, that start with `prefix`.
  std::vector<std::string> sent_to(int node, std::string_view prefix = "") const {
    std::vector<std::string> out;
    for (const Asked& a : asked)
      if (a.node == node && a.request.rfind(prefix, 0) == 0) out.push_back(a.request);
    return out;
  }

  std::vector<Asked> asked;
  std::set<int> down;
  std::map<std::string, size_t> sizes;  // stored name -> FSIZE of chkfile

 private:
  std::string reply(int node, const std::string& request) const {
    const std::string sn = std::to_string(node + 1);
    if (request == "TEST=H00&") return "SN=" + sn + "&";
    if (request == "OP=currentspace&") return "ACCOUNTS=1000000000&ACCOUNTS1=1000000000&";
    if (request == "OP=sshpasswd&") return "PA=node" + sn + ":pass" + sn + "&PORT_SFTP=" + std::to_string(2200 + node) + "&";
    if (request == "OP=timeprec&") return "TIME=1514764800&NANO=5&";
    if (request.rfind("OP=chkfile&", 0) == 0) {
      std::string name;
      select_value(request, "PFN", name);
      auto size = sizes.find(name);
      if (size == sizes.end()) return "STATUS=refused&CP=no_file&";
      return "STATUS=done&FSIZE=" + std::to_string(size->second) + "&CP=ok&";
    }
    return "STATUS=done&";
  }
  int base_;
  int nodes_;
};

// Plays every transfer at once: an upload "arrives" with the bytes of its
// local file, kept by URL; a download to a descriptor gets the bytes
// `served` under the last piece of its URL; a transfer whose URL holds a
// text in `failing` fails that many times first.
class PlayedTransfers final : public Workers {
 public:
  bool start(int tag, const std::vector<std::string>& argv, int output_fd,
             const platform::InputRange* input = nullptr) override {
    started.push_back(argv);
    input_ = input ? std::optional<platform::InputRange>(*input) : std::nullopt;
    const bool grouped = std::find(argv.begin(), argv.end(), "-w") != argv.end();
    // Alone, the URL and its -T or -o anywhere; carried with others, each
    // URL with the -T before it (upload) or the -o after it (download).
    auto after = [&](const std::string& option, size_t from, size_t to) {
      for (size_t i = from; i + 1 < to && i + 1 < argv.size(); ++i)
        if (argv[i] == option) return argv[i + 1];
      return std::string();
    };
    int code = 0, index = 0;
    for (size_t i = 0; i < argv.size(); ++i) {
      if (argv[i].rfind("sftp://", 0) != 0) continue;
      const std::string& url = argv[i];
      const std::string upload = grouped ? (i >= 2 ? after("-T", i - 2, i) : "") : after("-T", 0, argv.size());
      std::string download = grouped ? after("-o", i + 1, i + 3) : after("-o", 0, argv.size());
      if (download == "-") download.clear();  // to standard output
      code = play(url, upload, download, grouped ? -1 : output_fd);
      if (grouped) platform::write_all(output_fd, std::to_string(index++) + " " + std::to_string(code) + "\n");
    }
    queue_.push_back({tag, code});
    return true;
  }
  std::optional<Ended> wait_any(int = -1) override {
    if (queue_.empty()) return std::nullopt;
    Ended e = queue_.front();
    queue_.pop_front();
    return e;
  }
  size_t running() const override { return queue_.size(); }

  std::map<std::string, int> failing;
  std::vector<std::vector<std::string>> started;
  std::map<std::string, std::string> stored;
  std::map<std::string, std::string> served;

 private:
  int play(const std::string& url, const std::string& upload, const std::string& download, int output_fd) {
    for (auto& [text, times] : failing)
      if (url.find(text) != std::string::npos && times > 0) {
        --times;
        return 7;
      }
    auto bytes = served.find(url.substr(url.rfind('/') + 1));
    if (output_fd >= 0 && bytes != served.end()) platform::write_all(output_fd, bytes->second);
    if (!download.empty() && bytes != served.end()) std::ofstream(download, std::ios::binary) << bytes->second;
    if (upload == "-" && input_) {
      std::string sent(static_cast<size_t>(input_->length), '\0');
      const ssize_t got = ::pread(input_->fd, sent.data(), sent.size(), input_->offset);
      sent.resize(got < 0 ? 0 : static_cast<size_t>(got));
      stored[url] = sent;
    } else if (!upload.empty()) {
      std::ifstream in(upload, std::ios::binary);
      std::stringstream sent;
      sent << in.rdbuf();
      stored[url] = sent.str();
    }
    return 0;
  }

  std::deque<Ended> queue_;
  std::optional<platform::InputRange> input_;
};

}  // namespace morbs::testing
