#include "transfer/engine.h"

#include <deque>

#include "platform/file_region.h"

namespace morbs {

namespace {

const char* attempt_line(const TransferJob& job) {
  return job.transfer.direction == Direction::upload ? upload_attempt_line : download_attempt_line;
}

}  // namespace

bool run_transfers(std::vector<TransferJob>& jobs, const EngineOptions& options, Reporter& reporter,
                   Workers& children) {
  const size_t width = options.width < 1 ? 1 : static_cast<size_t>(options.width);
  const bool several = width > 1;
  std::deque<size_t> waiting;
  for (size_t i = 0; i < jobs.size(); ++i) {
    jobs[i].outcome = TransferJob::Outcome::waiting;
    waiting.push_back(i);
  }
  std::vector<int> attempts(jobs.size(), 0);
  std::vector<bool> prepared(jobs.size(), false);
  bool failed = false;
  size_t finished = 0;

  auto end_job = [&](size_t i, TransferJob::Outcome outcome) {
    jobs[i].outcome = outcome;
    if (outcome != TransferJob::Outcome::done) failed = true;
    ++finished;
  };

  auto start_next = [&]() {
    while (!waiting.empty() && children.running() < width && !(failed && options.stop_on_failure)) {
      const size_t i = waiting.front();
      waiting.pop_front();
      TransferJob& job = jobs[i];
      ++attempts[i];
      if (!prepared[i] && job.prepare) {
        prepared[i] = true;
        job.why = job.prepare(job);
        if (!job.why.ok()) {
          end_job(i, TransferJob::Outcome::unprepared);
          continue;
        }
      }
      reporter.flush();  // our lines stay in order with curl's
      // A failed attempt may have written part of its region: the next starts over.
      const bool placed = job.output_fd < 0 || platform::seek_to(job.output_fd, job.output_offset);
      if (!placed || !children.start(static_cast<int>(i), curl_arguments(job.transfer, several), job.output_fd))
        end_job(i, TransferJob::Outcome::not_started);
    }
  };

  start_next();
  while (auto ended = children.wait_any()) {
    const size_t i = static_cast<size_t>(ended->tag);
    TransferJob& job = jobs[i];
    if (ended->exit_code == 0) {
      end_job(i, TransferJob::Outcome::done);
      // The line stands in for the bar taken away; a quiet transfer stays quiet.
      if (several && job.transfer.progress)
        reporter.detail(format_text(" transfer %zu of %zu done: %s\n", finished, jobs.size(),
                                    job.transfer.label.c_str()));
      start_next();
      if (options.on_done) options.on_done(i);
      continue;
    }
    reporter.detail(format_text(attempt_line(job), attempts[i], transfer_attempts));
    if (attempts[i] < transfer_attempts) {
      waiting.push_front(i);  // retried alone, before the rest
    } else if (job.fallback && job.fallback(job).ok()) {
      attempts[i] = 0;  // attempts of its own for the new source
      waiting.push_front(i);
    } else {
      end_job(i, TransferJob::Outcome::failed);
    }
    start_next();
  }
  reporter.flush();
  return first_failure(jobs) == nullptr;
}

const TransferJob* first_failure(const std::vector<TransferJob>& jobs) {
  for (const TransferJob& job : jobs)
    if (!job.done()) return &job;
  return nullptr;
}

const char* download_failure(const TransferJob& job) {
  return job.outcome == TransferJob::Outcome::not_started ? "incorrect arguments in the q-string"
                                                          : "download error";
}

}  // namespace morbs
