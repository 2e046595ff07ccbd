// Several curl transfers at once (client.config TRANSFERS above 1). Each
// transfer keeps its own three attempts and its own attempt lines; a failed
// one is retried alone while the others go on. curl stays the engine: one
// child per transfer, the caller stays single-threaded.
//
// Progress: several progress bars on one terminal would overwrite each other,
// so with more than one transfer at a time curl runs quietly ("-sS": errors
// still shown) and one line per finished transfer is printed instead (only
// for a transfer that would have shown a bar: a quiet one stays quiet).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "transfer/curl_table.h"

namespace morbs {

struct TransferJob {
  std::vector<std::string> argv;  // from curl_arguments; empty: cannot be started
  std::string label;              // what the progress line names
  int result = -1;                // 0 done, -1 failed (after its attempts)
  bool not_started = false;       // curl could not be started (never retried)
  // When set, curl's standard output goes to this descriptor, set back to
  // `output_offset` before each attempt (a download with "-o -" fills its
  // own region of a file). Not owned.
  int output_fd = -1;
  int64_t output_offset = 0;
  // When set, called once just before the job first starts, to make it
  // (argv, output); the jobs are made in their order, so a job may depend on
  // the ones before it. False: it cannot be made (the caller has said why),
  // and it counts as failed for good, never started.
  std::function<bool(TransferJob&)> prepare;
  bool unprepared = false;  // prepare said false
};

// Runs every job, at most `parallel` at once (1: one after another, curl's
// own progress bar shown). `attempt_line` is printf text with the attempt
// number and the attempts in all, printed after each failed attempt when
// `test` is on. Stops starting new jobs once one has failed for good when
// `stop_on_failure`; jobs already running are waited for. `on_done` (when
// set) is called with a job's index as soon as it is done, after the next
// waiting job has taken its place.
void run_transfers(std::vector<TransferJob>& jobs, int parallel, const char* attempt_line, int test,
                   bool stop_on_failure, const std::function<void(size_t)>& on_done = {});

// One upload job: entry `index` of the basic or second entries, sent from
// `source`.
TransferJob upload_job(const TransferTable& curl_table, std::string_view copy, int index,
                       const std::string& source);

// One download job: entry `index` into its ST8 file with its ST9 option.
TransferJob download_job(const TransferTable& curl_table, std::string_view copy, int index);

// The same download written to `fd` from `offset` on, in place of its ST8
// file.
TransferJob download_job_at(const TransferTable& curl_table, std::string_view copy, int index, int fd,
                            int64_t offset);

}  // namespace morbs
