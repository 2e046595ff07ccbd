#include "transfer/engine.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <random>
#include <thread>

#include "platform/file_region.h"

namespace morbs {

namespace {

const char* attempt_line(const TransferJob& job) {
  return job.transfer.direction == Direction::upload ? upload_attempt_line : download_attempt_line;
}

}  // namespace

int retry_pause(int base_ms, int attempt, double unit) {
  if (base_ms <= 0 || attempt < 2) return 0;
  const double grown = static_cast<double>(base_ms) * static_cast<double>(1 << std::min(attempt - 2, 10));
  return static_cast<int>(grown * (0.5 + unit));
}

bool run_transfers(std::vector<TransferJob>& jobs, const EngineOptions& options, Reporter& reporter,
                   Workers& children) {
  using Clock = std::chrono::steady_clock;
  const size_t width = options.width < 1 ? 1 : static_cast<size_t>(options.width);
  const bool several = width > 1;
  std::deque<size_t> waiting;
  for (size_t i = 0; i < jobs.size(); ++i) {
    jobs[i].outcome = TransferJob::Outcome::waiting;
    waiting.push_back(i);
  }
  std::vector<int> attempts(jobs.size(), 0);
  std::vector<bool> prepared(jobs.size(), false);
  std::vector<Clock::time_point> not_before(jobs.size(), Clock::time_point{});
  std::minstd_rand jitter(std::random_device{}());
  bool failed = false;
  size_t finished = 0;

  auto end_job = [&](size_t i, TransferJob::Outcome outcome) {
    jobs[i].outcome = outcome;
    if (outcome != TransferJob::Outcome::done) failed = true;
    ++finished;
  };

  // The first waiting job whose pause is over. One at a time keeps the
  // written order: a retry's pause holds back the jobs behind it.
  auto next_ready = [&]() {
    const Clock::time_point now = Clock::now();
    for (auto it = waiting.begin(); it != waiting.end(); ++it) {
      if (not_before[*it] <= now) return it;
      if (!several) break;
    }
    return waiting.end();
  };

  auto start_next = [&]() {
    while (children.running() < width && !(failed && options.stop_on_failure)) {
      const auto ready = next_ready();
      if (ready == waiting.end()) return;
      const size_t i = *ready;
      waiting.erase(ready);
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
      if (!placed || !children.start(static_cast<int>(i), curl_arguments(job.transfer, several, options.stall_seconds), job.output_fd))
        end_job(i, TransferJob::Outcome::not_started);
    }
  };

  // How long until a paused job may start; -1 when none waits for that (or
  // there would be no room for it anyway).
  auto pause_left_ms = [&]() {
    if (waiting.empty() || (failed && options.stop_on_failure) || children.running() >= width) return -1;
    Clock::time_point soonest = Clock::time_point::max();
    for (size_t i : waiting) soonest = std::min(soonest, not_before[i]);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(soonest - Clock::now()).count();
    return static_cast<int>(std::max<int64_t>(left, 0));
  };

  auto attempt_failed = [&](size_t i) {
    TransferJob& job = jobs[i];
    reporter.detail(format_text(attempt_line(job), attempts[i], transfer_attempts));
    if (attempts[i] < transfer_attempts) {
      const double unit = std::uniform_real_distribution<double>(0.0, 1.0)(jitter);
      not_before[i] = Clock::now() + std::chrono::milliseconds(
                                         retry_pause(options.retry_pause_ms, attempts[i] + 1, unit));
      waiting.push_front(i);  // retried alone, before the rest
    } else if (job.fallback && job.fallback(job).ok()) {
      attempts[i] = 0;  // attempts of its own for the new source
      not_before[i] = Clock::time_point{};
      waiting.push_front(i);
    } else {
      end_job(i, TransferJob::Outcome::failed);
    }
  };

  for (;;) {
    start_next();
    const int pause = pause_left_ms();
    if (children.running() == 0) {
      if (pause < 0) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(pause));
      continue;
    }
    const auto ended = children.wait_any(pause);
    if (!ended) continue;  // a pause is over
    const size_t i = static_cast<size_t>(ended->tag);
    TransferJob& job = jobs[i];
    if (ended->exit_code == 0 && job.verify) {
      job.why = job.verify(job);
      if (!job.why.ok()) {
        reporter.detail_line(job.transfer.label + ": " + job.why.why());
        if (job.check_failure_is_final) attempts[i] = transfer_attempts;
        attempt_failed(i);
        continue;
      }
    }
    if (ended->exit_code != 0) {
      attempt_failed(i);
      continue;
    }
    end_job(i, TransferJob::Outcome::done);
    // The line stands in for the bar taken away; a quiet transfer stays quiet.
    if (several && job.transfer.progress)
      reporter.detail(format_text(" transfer %zu of %zu done: %s\n", finished, jobs.size(),
                                  job.transfer.label.c_str()));
    start_next();
    if (options.on_done) options.on_done(i);
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
