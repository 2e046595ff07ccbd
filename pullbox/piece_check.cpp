#include "pullbox/piece_check.h"

#include "core/digest/sha256.h"
#include "platform/file_region.h"
#include "platform/region_reader.h"
#include "platform/regular_file.h"

namespace morbs::pullbox {

void PieceChecks::attach(TransferJob& job, size_t k, const std::vector<int64_t>& ends) {
  job.check_failure_is_final = true;
  job.verify = [this, k, &ends](TransferJob& done) { return check(done, k, ends.at(k) - done.output_offset); };
}

Status PieceChecks::check(const TransferJob& job, size_t k, int64_t size) {
  const std::string part = "pullbox: part " + std::to_string(k + 1) + ": the " +
                           std::string(copy_text(job.transfer.copy)) + " copy ";
  // A piece of another size than its node reported is no piece, digest or not.
  const bool whole = job.output_fd >= 0 ? platform::position_of(job.output_fd) == job.output_offset + size
                                        : platform::size_of_file(job.transfer.local) == size;
  if (!whole) {
    reporter_.warn_line(part + "did not arrive with the size its node reported");
    return Status::failure("a piece did not arrive with the size its node reported");
  }
  if (!recorded_.at(k)) {
    // Beside the system's texts, never among them, and whatever TEST says:
    // such a piece is taken on trust.
    if (!told_no_digest_)
      reporter_.warn_line("pullbox: no node of a piece keeps digests: such pieces are checked by size only");
    told_no_digest_ = true;
    return Status::success();
  }
  digest::Sha256 sha;
  // A piece written to a file by name is that whole file.
  const platform::FileDescriptor named =
      job.output_fd < 0 ? platform::open_for_reading(job.transfer.local) : platform::FileDescriptor();
  const int written = job.output_fd >= 0 ? job.output_fd : named.get();
  const int64_t from = job.output_fd >= 0 ? job.output_offset : 0;
  if (written < 0 || !platform::read_region(written, from, size, [&](std::string_view bytes) { sha.update(bytes); })) {
    reporter_.warn_line(part + "arrived short");
    return Status::failure("the piece arrived short");
  }
  if (digest::to_hex(sha.finish()) != *recorded_.at(k)) {
    reporter_.warn_line(part + "is not what its node recorded (its digest differs)");
    return Status::failure("the piece's digest differs from its node's");
  }
  return Status::success();
}

}  // namespace morbs::pullbox
