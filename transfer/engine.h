// The one transfer engine: every copy, part and list that pushbox and
// pullbox move goes through run_transfers, at most `width` at once
// (client.config TRANSFERS; 1 is one after another). Each transfer keeps its
// own three attempts; a failed one is retried alone, before the rest, after
// a pause that grows with each attempt and is jittered, so that clients a busy
// node turned away together do not all come back at once. The bytes move on
// the runner's own thread; this loop and every callback of a job (its
// preparation, its check on the node, its fallback) run on the caller's, so
// a slow answer of a node holds back no transfer in flight.
//
// A node whose SFTP service stalled or could not be reached is not tried
// again in the run but for the attempts of the transfer that found it so:
// every other transfer to it fails at once (and goes to its other copy where
// it has one), so a silent node costs one transfer's attempts, not those of
// every copy it holds.
//
// Progress: a view on the terminal, at most ten times a second. One
// transfer at a time draws its own bar; several share one line for the run,
// and one line per finished transfer is told beside the bar (a quiet
// transfer stays quiet).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/report/reporter.h"
#include "core/status.h"
#include "transfer/transfer.h"
#include "transfer/progress.h"
#include "transfer/transfer_runner.h"

namespace morbs {

// How often a failing transfer is tried in all.
inline constexpr int transfer_attempts = 3;

struct TransferJob {
  enum class Outcome { waiting, done, failed, not_started, unprepared };

  Transfer transfer;
  // A download with an empty `transfer.local` is written to this descriptor
  // (not owned) from `output_offset` on, each attempt from there anew: the
  // job fills its own region of a file. Without either, its bytes are only
  // read through (their digest taken) and kept nowhere.
  int output_fd = -1;
  int64_t output_offset = 0;
  // What a download may bring at most, when known (the piece's size): more
  // ends the attempt at once. Also the download's share of the progress.
  int64_t output_size = -1;
  // An upload with an empty `transfer.local` sends this range of a file
  // (descriptor not owned), from its first byte on each attempt.
  struct Range {
    int fd = -1;
    int64_t offset = 0;
    int64_t length = 0;
  } input;
  // Which of the run's files the job serves, for the progress line's count
  // of files (below 0: the run is one file).
  int file = -1;
  // Called once, just before the job first starts, to make it; jobs are made
  // in their order, so a job may depend on those before it. A failure stops
  // the job for good (never started) and is kept in `why`.
  std::function<Status(TransferJob&)> prepare;
  // Called when the job has failed all its attempts: a job that can be had
  // from elsewhere (another copy) remakes itself and starts over with
  // attempts of its own; a failure ends it.
  std::function<Status(TransferJob&)> fallback;
  // Called when the transfer went through: a failure (the node holds
  // other bytes than were sent or than it reports) makes it a failed attempt,
  // retried as any other, its `why` told as a detail.
  std::function<Status(TransferJob&)> verify;
  // A failed check ends this source's attempts at once, the fallback next:
  // for a download whose node would send the same bytes again.
  bool check_failure_is_final = false;
  // The check tells its failures itself (on standard error, beside the
  // system's texts); otherwise the engine tells why as a detail.
  bool check_tells_itself = false;

  Outcome outcome = Outcome::waiting;
  // Why it failed: its preparation's or its check's failure, or, when every
  // attempt failed in the transfer, what ended the last one (label first).
  Status why = Status::success();
  // The bytes of the attempt that went through, as they passed (set before
  // `verify` is called): nothing is read back to check them.
  int64_t passed_bytes = 0;
  std::string passed_sha256;  // 64 lower-case hex digits
  bool done() const { return outcome == Outcome::done; }
};

struct EngineOptions {
  int width = 1;
  // Start nothing new once a job has failed for good; running ones are
  // waited for.
  bool stop_on_failure = true;
  // Called with a job's index as soon as it is done, after a waiting job has
  // taken its place (what it does need not hold a transfer back).
  std::function<void(size_t)> on_done;
  // client.config STALL_SEC: no progress for this long ends an attempt.
  int stall_seconds = 0;
  // The pause before a failed transfer's second attempt; each further one
  // doubles it. Each pause is jittered between half and one and a half times.
  int retry_pause_ms = 250;
  // Where the run's progress is drawn; null: nowhere.
  ProgressView* progress = nullptr;
};

// The pause before attempt `attempt` (2, 3, ...), `unit` in [0, 1) the jitter.
int retry_pause(int base_ms, int attempt, double unit);

// The attempt lines, told as details after each failed attempt.
inline constexpr const char* upload_attempt_line = "Error: upload file, attmpt[%d] from %d\n";
inline constexpr const char* download_attempt_line = "Error: download file, attmpt[%d] from %d\n";

// Runs the jobs through `runner`; their outcomes tell what happened. True
// when all are done.
bool run_transfers(std::vector<TransferJob>& jobs, const EngineOptions& options, Reporter& reporter,
                   TransferRunner& runner);

// What failed, for the jobs of one run: the first job not done, or null.
const TransferJob* first_failure(const std::vector<TransferJob>& jobs);

// The system's text for a transfer that failed: it could not be started,
// or all its attempts failed.
const char* download_failure(const TransferJob& job);
// That text and what ended the job's last attempt ("download error: part 1:
// cannot write what came: No space left on device"), for the run's last line.
std::string failure_with_cause(const TransferJob& job);

}  // namespace morbs
