// Whether a stored copy holds what it should. A node's chkfile gives the
// size of what it holds and, where it keeps them, the SHA-256 it recorded
// when the copy was written; a copy is good when both are those of the bytes
// meant for it. A node that keeps no digests is taken on its size alone, and
// the run says so once.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "core/report/reporter.h"
#include "core/status.h"
#include "core/wire/node_exchange.h"
#include "transfer/engine.h"
#include "transfer/transfer.h"
#include "transfer/transfer_table.h"

namespace morbs {

// Where a copy is stored, as its list line or registration line names it.
struct StoredCopy {
  std::string id;
  Area area = Area::accounts;
  std::string name;  // FN
  int port = 0;      // the node's query port, as the line gives it
};
// Nothing when the line lacks ID, FN or PORT, or names no area.
std::optional<StoredCopy> stored_copy_in(std::string_view line);

// What a node says of one copy it should hold.
struct CopyState {
  bool held = false;  // STATUS=done
  int64_t size = -1;
  std::optional<std::string> sha256;  // 64 lowercase hex digits, when it keeps one
  std::string cp;                     // the node's word when it holds none
};
// Fails when the node does not answer, or the request would not fit.
Result<CopyState> ask_copy_state(NodeExchange& exchange, std::string_view address, int port,
                                 const StoredCopy& copy);

// A SHA-256 (hex) and the number of bytes it was taken of.
struct Digest {
  int64_t size = 0;
  std::string sha256;
};

// Says once per run, on standard error when details are on, that some
// node keeps no digests.
// `shared`, when given, is the run's flag, so that checks made file by file
// (on threads of their own) still say it once.
class DigestNotice {
 public:
  explicit DigestNotice(Reporter& reporter, std::atomic<bool>* shared = nullptr)
      : reporter_(reporter), told_(shared ? *shared : own_) {}
  void no_digest_from(int port);
  bool told() const { return told_; }

 private:
  Reporter& reporter_;
  std::atomic<bool> own_{false};
  std::atomic<bool>& told_;
};

// Ok when `state` is that of the bytes `meant`: held, of their size, and of
// their digest where the node gave one.
Status matches(const CopyState& state, const Digest& meant, int port, DigestNotice& notice);

// The check of every copy an upload sends: once it is through, the digest
// of the bytes the transfer sent (taken as they passed) against what the
// node that took it says.
class UploadChecks {
 public:
  UploadChecks(NodeExchange& exchange, std::string address, Reporter& reporter,
               std::atomic<bool>* no_digest_told = nullptr)
      : exchange_(exchange), address_(std::move(address)), notice_(reporter, no_digest_told) {}
  // The engine's verify hook for the copy that `registration_line` registers.
  std::function<Status(TransferJob&)> hook(const std::string& registration_line);
  // The same for a planned copy, which keeps the digest of what was sent
  // once the check passed, for its lines to carry.
  std::function<Status(TransferJob&)> hook(PlannedCopy& planned);

 private:
  Status check(const TransferJob& job, const std::optional<StoredCopy>& copy);

  NodeExchange& exchange_;
  std::string address_;
  DigestNotice notice_;
};

}  // namespace morbs
