#include "pullbox/piece_check.h"


namespace morbs::pullbox {

void PieceChecks::attach(TransferJob& job, size_t k, const std::vector<int64_t>& ends) {
  job.check_failure_is_final = true;
  job.verify = [this, k, &ends](TransferJob& done) { return check(done, k, ends.at(k) - done.output_offset); };
}

Status PieceChecks::check(const TransferJob& job, size_t k, int64_t size) {
  const std::string part = "pullbox: part " + std::to_string(k + 1) + ": the " +
                           std::string(copy_text(job.transfer.copy)) + " copy ";
  if (!recorded_.at(k)) {
    // Beside the system's texts, never among them.
    if (!told_no_digest_) reporter_.error_detail("a node keeps no digests: its pieces are checked by size only\n");
    told_no_digest_ = true;
    return Status::success();
  }
  if (job.passed_bytes != size) {
    const bool shorter = job.passed_bytes < size;
    reporter_.warn_line(part + (shorter ? "arrived short" : "arrived longer than its node said"));
    return Status::failure(shorter ? "the piece arrived short" : "the piece arrived longer than its node said");
  }
  if (job.passed_sha256 != *recorded_.at(k)) {
    reporter_.warn_line(part + "is not what its node recorded (its digest differs)");
    return Status::failure("the piece's digest differs from its node's");
  }
  return Status::success();
}

}  // namespace morbs::pullbox
