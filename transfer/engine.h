// The one transfer engine: every copy, part and list that pushbox and
// pullbox move goes through run_transfers, at most `width` at once
// (client.config TRANSFERS; 1 is one after another). Each transfer keeps its
// own three attempts; a failed one is retried alone, before the rest, after
// a pause that grows with each attempt and is jittered, so that clients a busy
// node turned away together do not all come back at once. curl is
// the engine's worker: one child per transfer, the caller stays
// single-threaded.
//
// Progress: one transfer at a time shows curl's own progress bar. Several
// bars on one terminal would overwrite each other, so with a width above 1
// curl runs quietly (errors still shown) and one line per finished transfer
// stands in for the bar (a quiet transfer stays quiet).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/report/reporter.h"
#include "core/status.h"
#include "transfer/transfer.h"
#include "platform/child_set.h"
#include "transfer/workers.h"

namespace morbs {

// How often a failing transfer is tried in all.
inline constexpr int transfer_attempts = 3;

struct TransferJob {
  enum class Outcome { waiting, done, failed, not_started, unprepared };

  Transfer transfer;
  // A download with an empty `transfer.local` is written to this descriptor
  // (not owned), set back to `output_offset` before each attempt: the job
  // fills its own region of a file.
  int output_fd = -1;
  int64_t output_offset = 0;
  // An upload with an empty `transfer.local` sends this range of a file
  // (descriptor not owned), from its first byte on each attempt.
  platform::InputRange input;
  // Called once, just before the job first starts, to make it; jobs are made
  // in their order, so a job may depend on those before it. A failure stops
  // the job for good (never started) and is kept in `why`.
  std::function<Status(TransferJob&)> prepare;
  // Called when the job has failed all its attempts: a job that can be had
  // from elsewhere (another copy) remakes itself and starts over with
  // attempts of its own; a failure ends it.
  std::function<Status(TransferJob&)> fallback;
  // Called when curl says the transfer is done: a failure (the node holds
  // other bytes than were sent or than it reports) makes it a failed attempt,
  // retried as any other, its `why` told as a detail.
  std::function<Status(TransferJob&)> verify;
  // A failed check ends this source's attempts at once, the fallback next:
  // for a download whose node would send the same bytes again.
  bool check_failure_is_final = false;

  Outcome outcome = Outcome::waiting;
  Status why = Status::success();
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
  // How many transfers to one place one curl child may carry, one after
  // another over one connection (1: a child for each). Only first attempts
  // at named local files share a child; each keeps its own outcome.
  int group_limit = 1;
};

// The pause before attempt `attempt` (2, 3, ...), `unit` in [0, 1) the jitter.
int retry_pause(int base_ms, int attempt, double unit);

// The attempt lines, told as details after each failed attempt.
inline constexpr const char* upload_attempt_line = "Error: upload file, attmpt[%d] from %d\n";
inline constexpr const char* download_attempt_line = "Error: download file, attmpt[%d] from %d\n";

// Runs the jobs through `workers`; their outcomes tell what happened. True
// when all are done.
bool run_transfers(std::vector<TransferJob>& jobs, const EngineOptions& options, Reporter& reporter,
                   Workers& workers);

// What failed, for the jobs of one run: the first job not done, or null.
const TransferJob* first_failure(const std::vector<TransferJob>& jobs);

// The system's text for a transfer that failed: curl could not be started,
// or all its attempts failed.
const char* download_failure(const TransferJob& job);

}  // namespace morbs
