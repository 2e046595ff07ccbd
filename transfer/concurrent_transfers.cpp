#include "transfer/concurrent_transfers.h"

#include <cstdio>
#include <deque>

#include "core/wire/query_string.h"
#include "platform/child_set.h"
#include "platform/file_region.h"
#include "transfer/curl_runner.h"

namespace morbs {

namespace {

std::string_view entry_at(const TransferTable& curl_table, std::string_view copy, int index) {
  if (index < 0 || index >= node_count) return empty_slot;
  return (copy == "basic" ? curl_table.basic_entries : curl_table.second_entries)[index];
}

// Several bars on one terminal would interleave: curl runs quietly, errors
// still shown.
bool shows_progress(const std::vector<std::string>& argv) {
  return !argv.empty() && argv.back() == "--progress-bar";
}
std::vector<std::string> quiet(std::vector<std::string> argv) {
  if (shows_progress(argv)) argv.back() = "-sS";
  return argv;
}

}  // namespace

TransferJob upload_job(const TransferTable& curl_table, std::string_view copy, int index,
                       const std::string& source) {
  TransferJob job;
  job.argv = curl_arguments(entry_at(curl_table, copy, index), "-T", source, "--progress-bar");
  job.label = std::string(copy) + " " + std::to_string(index);
  return job;
}

namespace {

// Entry `index` fetched into `local`, or into its ST8 file when that is empty.
TransferJob download_into(const TransferTable& curl_table, std::string_view copy, int index,
                          std::string_view local) {
  std::string_view entry = entry_at(curl_table, copy, index);
  std::string last = "--progress-bar";
  if (entry != empty_slot && select_value(entry, "ST9", last) != 0) last = "--progress-bar";
  TransferJob job;
  job.argv = curl_arguments(entry, "-o", local, last);
  job.label = std::string(copy) + " " + std::to_string(index);
  return job;
}

}  // namespace

TransferJob download_job(const TransferTable& curl_table, std::string_view copy, int index) {
  return download_into(curl_table, copy, index, {});
}

TransferJob download_job_at(const TransferTable& curl_table, std::string_view copy, int index, int fd,
                            int64_t offset) {
  TransferJob job = download_into(curl_table, copy, index, "-");  // "-o -": the standard output
  job.output_fd = fd;
  job.output_offset = offset;
  return job;
}

void run_transfers(std::vector<TransferJob>& jobs, int parallel, const char* attempt_line, int test,
                   bool stop_on_failure, const std::function<void(size_t)>& on_done) {
  if (parallel < 1) parallel = 1;
  const bool several = parallel > 1;
  std::deque<size_t> waiting;
  for (size_t i = 0; i < jobs.size(); ++i) {
    jobs[i].result = -1;
    jobs[i].not_started = false;
    jobs[i].unprepared = false;
    waiting.push_back(i);
  }
  std::vector<int> attempts(jobs.size(), 0);
  platform::ChildSet children;
  bool failed = false;
  size_t finished = 0;

  auto start_next = [&]() {
    while (!waiting.empty() && children.running() < static_cast<size_t>(parallel) &&
           !(failed && stop_on_failure)) {
      size_t i = waiting.front();
      waiting.pop_front();
      if (++attempts[i] == 1 && jobs[i].prepare && !jobs[i].prepare(jobs[i])) {
        jobs[i].unprepared = true;
        failed = true;
        ++finished;
        continue;
      }
      std::fflush(stdout);  // our lines stay in order with curl's
      // A failed attempt may have written part of its region: the next starts over.
      const bool placed = jobs[i].output_fd < 0 || platform::seek_to(jobs[i].output_fd, jobs[i].output_offset);
      if (jobs[i].argv.empty() || !placed ||
          !children.start(static_cast<int>(i), several ? quiet(jobs[i].argv) : jobs[i].argv, jobs[i].output_fd)) {
        jobs[i].not_started = true;
        failed = true;
        ++finished;
      }
    }
  };

  start_next();
  while (auto ended = children.wait_any()) {
    size_t i = static_cast<size_t>(ended->tag);
    if (ended->exit_code == 0) {
      jobs[i].result = 0;
      ++finished;
      // The line stands in for the bar taken away; a quiet transfer stays quiet.
      if (several && test && shows_progress(jobs[i].argv))
        std::printf(" transfer %zu of %zu done: %s\n", finished, jobs.size(), jobs[i].label.c_str());
      // The freed place is taken first: what on_done does (removing a large
      // part file takes tens of milliseconds) need not keep a transfer waiting.
      start_next();
      if (on_done) on_done(i);
      continue;
    }
    if (test) std::printf(attempt_line, attempts[i], transfer_attempts);
    if (attempts[i] < transfer_attempts) {
      waiting.push_front(i);  // retried alone, before the rest
    } else {
      failed = true;
      ++finished;
    }
    start_next();
  }
  std::fflush(stdout);
}

}  // namespace morbs
