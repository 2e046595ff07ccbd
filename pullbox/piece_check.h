// The check of every piece a download receives: its size, then the SHA-256
// of the bytes its transfer brought (taken as they came) against a digest
// recorded for the piece
// (by its own list line, its own node, or its twin's: both copies are the
// same bytes). A piece
// that fails either is no attempt worth repeating (the node would send the
// same bytes again): its twin is taken at once.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/report/reporter.h"
#include "core/status.h"
#include "transfer/engine.h"

namespace morbs::pullbox {

// Said once for a run, whatever number of files it fetches.
class SizeOnlyNotice {
 public:
  void tell(Reporter& reporter);

 private:
  std::atomic<bool> told_{false};
};

class PieceChecks {
 public:
  PieceChecks(Reporter& reporter, size_t pieces, SizeOnlyNotice& notice)
      : reporter_(reporter), recorded_(pieces), notice_(notice) {}
  // A digest recorded for piece k; nothing keeps the one known before. A
  // piece with none known is checked by size only, said once.
  void expect(size_t k, std::optional<std::string> sha256) {
    if (sha256) recorded_.at(k) = std::move(sha256);
  }
  // Makes `job` piece k's check: the piece runs from the job's offset to
  // `ends[k]`; a job that writes a file by name has the whole file as its
  // piece.
  void attach(TransferJob& job, size_t k, const std::vector<int64_t>& ends);

 private:
  Status check(const TransferJob& job, size_t k, int64_t size);

  Reporter& reporter_;
  std::vector<std::optional<std::string>> recorded_;
  SizeOnlyNotice& notice_;
};

}  // namespace morbs::pullbox
