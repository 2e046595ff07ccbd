// Test stand-ins for the outside of a run: a data network answered from
// memory (NodeExchange) and transfers played without a network
// (TransferRunner). Flow
// tests of pushbox and pullbox run on them, without sockets or children.
#pragma once

#include <algorithm>

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/digest/sha256.h"
#include "core/wire/node_exchange.h"
#include "core/wire/query_string.h"
#include "platform/file_region.h"
#include <unistd.h>
#include "transfer/transfer_runner.h"

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
// source (a whole file or a range, as the engine opened it), kept by URL; a
// download gets the bytes `served` under the last piece of its URL, written
// where the engine points it; a transfer whose URL holds a text in `failing`
// fails that many times first; one whose URL holds a text in `altering`
// arrives with its first byte changed that many times; a download whose URL
// holds a text in `served_at` gets those bytes instead. `on_start` sees each
// transfer's URL as it starts; `started` keeps every transfer started.
class PlayedTransfers final : public TransferRunner {
 public:
  void start(const Transfer& transfer, platform::SftpJob io, TransferEnded ended) override {
    started.push_back(transfer);
    ended(play(transfer, io));
  }

  std::map<std::string, int> failing;
  std::map<std::string, int> altering;
  std::map<std::string, std::string> served_at;
  std::function<void(const std::string&)> on_start;
  std::vector<Transfer> started;
  std::map<std::string, std::string> stored;
  std::map<std::string, std::string> served;

 private:
  platform::SftpOutcome play(const Transfer& t, const platform::SftpJob& io) {
    const std::string& url = t.url;
    if (on_start) on_start(url);
    for (auto& [text, times] : failing)
      if (url.find(text) != std::string::npos && times > 0) {
        --times;
        return {platform::SftpOutcome::Kind::other, 9, "played failure", 0};
      }
    if (t.direction == Direction::download) {
      auto found = served.find(url.substr(url.rfind('/') + 1));
      std::string bytes = found != served.end() ? found->second : std::string();
      for (const auto& [text, other] : served_at)
        if (url.find(text) != std::string::npos) bytes = other;
      if (io.length >= 0 && static_cast<int64_t>(bytes.size()) > io.length)
        return {platform::SftpOutcome::Kind::too_long, 23, "more bytes came than the piece holds", 0};
      if (!bytes.empty() && io.fd >= 0 && ::pwrite(io.fd, bytes.data(), bytes.size(), io.offset) != static_cast<ssize_t>(bytes.size()))
        return {platform::SftpOutcome::Kind::local, 23, "cannot write", 0};
      if (io.on_bytes && !bytes.empty()) io.on_bytes(bytes);
      return {platform::SftpOutcome::Kind::done, 0, "", static_cast<int64_t>(bytes.size())};
    }
    std::string sent(static_cast<size_t>(std::max<int64_t>(io.length, 0)), '\0');
    const ssize_t got = ::pread(io.fd, sent.data(), sent.size(), io.offset);
    sent.resize(got < 0 ? 0 : static_cast<size_t>(got));
    if (io.on_bytes) io.on_bytes(sent);
    for (auto& [text, times] : altering)
      if (url.find(text) != std::string::npos && times > 0 && !sent.empty()) {
        --times;
        sent[0] = static_cast<char>(sent[0] ^ 0x20);
      }
    stored[url] = sent;
    return {platform::SftpOutcome::Kind::done, 0, "", static_cast<int64_t>(sent.size())};
  }
};

}  // namespace morbs::testing
