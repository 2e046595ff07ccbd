#include "pullbox/piece_check.h"

namespace morbs::pullbox {

void SizeOnlyNotice::tell(Reporter& reporter) {
  if (!told_.exchange(true))
    reporter.warn_line("pullbox: no node of a piece keeps digests: such pieces are checked by size only");
}

void PieceChecks::attach(TransferJob& job, size_t k, const std::vector<int64_t>& ends) {
  job.check_failure_is_final = true;
  job.check_tells_itself = true;
  job.verify = [this, k, &ends](TransferJob& done) { return check(done, k, ends.at(k) - done.output_offset); };
}

Status PieceChecks::check(const TransferJob& job, size_t k, int64_t size) {
  const std::string part = "pullbox: part " + std::to_string(k + 1) + ": the " +
                           std::string(copy_text(job.transfer.copy)) + " copy ";
  // A piece of another size than its node reported is no piece, digest or not.
  if (job.passed_bytes != size) {
    reporter_.warn_line(part + "did not arrive with the size its node reported");
    return Status::failure("a piece did not arrive with the size its node reported");
  }
  if (!recorded_.at(k)) {
    // Beside the system's texts, never among them, and whatever TEST says:
    // such a piece is taken on trust.
    notice_.tell(reporter_);
    return Status::success();
  }
  if (job.passed_sha256 != *recorded_.at(k)) {
    reporter_.warn_line(part + "is not what its node recorded (its digest differs)");
    return Status::failure("the piece's digest differs from its node's");
  }
  return Status::success();
}

}  // namespace morbs::pullbox
