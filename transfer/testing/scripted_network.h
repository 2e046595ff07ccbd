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

#include "core/digest/sha256.h"
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
  // stored name -> SHA256 of chkfile; without one, the digest of what
  // `uploads` holds for it on that node, or none.
  std::map<std::string, std::string> digests;
  // What played uploads left, by URL (PlayedTransfers::stored): chkfile
  // answers for it as a node that keeps digests, unless `no_digest`.
  const std::map<std::string, std::string>* uploads = nullptr;
  bool no_digest = false;

 private:
  std::string reply(int node, const std::string& request) const {
    const std::string sn = std::to_string(node + 1);
    if (request == "TEST=H00&") return "SN=" + sn + "&";
    if (request == "OP=currentspace&") return "ACCOUNTS=1000000000&ACCOUNTS1=1000000000&";
    if (request == "OP=sshpasswd&") return "PA=node" + sn + ":pass" + sn + "&PORT_SFTP=" + std::to_string(2200 + node) + "&";
    if (request == "OP=timeprec&") return "TIME=1514764800&NANO=5&";
    if (request.rfind("OP=chkaccount&", 0) == 0) return "ACCOUNTS=ready&ACCOUNTS1=ready&";
    if (request.rfind("OP=chkfile&", 0) == 0) {
      std::string name;
      select_value(request, "PFN", name);
      const std::string* uploaded = uploaded_to(node, name);
      auto size = sizes.find(name);
      if (size == sizes.end() && !uploaded) return "STATUS=refused&CP=no_file&";
      std::string reply = "STATUS=done&FSIZE=" +
                          std::to_string(size != sizes.end() ? size->second : uploaded->size()) + "&CP=ok&";
      auto digest = digests.find(name);
      if (no_digest) return reply;
      if (digest != digests.end()) return reply + "SHA256=" + digest->second + "&";
      if (uploaded) return reply + "SHA256=" + digest::to_hex(digest::sha256_of(*uploaded)) + "&";
      return reply;
    }
    return "STATUS=done&";
  }
  const std::string* uploaded_to(int node, const std::string& name) const {
    if (!uploads) return nullptr;
    const std::string place = "/MORB" + std::to_string(node + 1) + "/";
    for (const auto& [url, bytes] : *uploads)
      if (url.find(place) != std::string::npos && url.size() > name.size() &&
          url.compare(url.size() - name.size() - 1, std::string::npos, "/" + name) == 0)
        return &bytes;
    return nullptr;
  }
  int base_;
  int nodes_;
};

// Plays every transfer at once: an upload "arrives" with the bytes of its
// local file (or of its input range), kept by URL; a download (to a
// descriptor or a local file) gets the bytes `served` under the last piece of
// its URL; a transfer whose URL holds a text in `failing` fails that many
// times first; one whose URL holds a text in `altering` arrives with its
// first byte changed that many times; a download whose URL holds a text in
// `served_at` gets those bytes instead. `on_start` sees each transfer's URL
// as it starts. A child carrying several transfers writes each one's outcome.
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
  std::map<std::string, int> altering;
  std::map<std::string, std::string> served_at;
  std::function<void(const std::string&)> on_start;
  std::vector<std::vector<std::string>> started;
  std::map<std::string, std::string> stored;
  std::map<std::string, std::string> served;

 private:
  int play(const std::string& url, const std::string& upload, const std::string& download, int output_fd) {
    if (on_start) on_start(url);
    for (auto& [text, times] : failing)
      if (url.find(text) != std::string::npos && times > 0) {
        --times;
        return 7;
      }
    auto found = served.find(url.substr(url.rfind('/') + 1));
    const std::string* bytes = found != served.end() ? &found->second : nullptr;
    for (const auto& [text, other] : served_at)
      if (url.find(text) != std::string::npos) bytes = &other;
    if (output_fd >= 0 && bytes) platform::write_all(output_fd, *bytes);
    if (!download.empty()) std::ofstream(download, std::ios::binary | std::ios::trunc) << (bytes ? *bytes : std::string());
    if (upload.empty()) return 0;
    if (upload == "-" && input_) {
      std::string sent(static_cast<size_t>(input_->length), '\0');
      const ssize_t got = ::pread(input_->fd, sent.data(), sent.size(), input_->offset);
      sent.resize(got < 0 ? 0 : static_cast<size_t>(got));
      stored[url] = sent;
    } else {
      std::ifstream in(upload, std::ios::binary);
      std::stringstream sent;
      sent << in.rdbuf();
      stored[url] = sent.str();
    }
    for (auto& [text, times] : altering)
      if (url.find(text) != std::string::npos && times > 0 && !stored[url].empty()) {
        --times;
        stored[url][0] = static_cast<char>(stored[url][0] ^ 0x20);
      }
    return 0;
  }

  std::deque<Ended> queue_;
  std::optional<platform::InputRange> input_;
};

}  // namespace morbs::testing
