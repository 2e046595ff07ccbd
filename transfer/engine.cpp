#include "transfer/engine.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <map>
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

namespace {

// Per-transfer outcomes written by a child carrying several: "index code"
// lines; a transfer without a line did not end well.
std::vector<int> outcomes_of(const std::string& written, size_t count) {
  std::vector<int> codes(count, -1);
  size_t at = 0;
  while (at < written.size()) {
    size_t end = written.find('\n', at);
    if (end == std::string::npos) end = written.size();
    const std::string line = written.substr(at, end - at);
    at = end + 1;
    const size_t space = line.find(' ');
    if (space == std::string::npos) continue;
    const std::string index = line.substr(0, space), code = line.substr(space + 1);
    if (index.empty() || code.empty() || index.size() > 6 || code.size() > 6 ||
        index.find_first_not_of("0123456789") != std::string::npos ||
        code.find_first_not_of("0123456789") != std::string::npos)
      continue;
    const size_t i = static_cast<size_t>(std::stoul(index));
    if (i < count) codes[i] = std::stoi(code);
  }
  return codes;
}

}  // namespace

bool run_transfers(std::vector<TransferJob>& jobs, const EngineOptions& options, Reporter& reporter,
                   Workers& children) {
  using Clock = std::chrono::steady_clock;
  const size_t width = options.width < 1 ? 1 : static_cast<size_t>(options.width);
  const size_t group_limit = options.group_limit < 1 ? 1 : static_cast<size_t>(options.group_limit);
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

  // What each running child carries; a child of several writes their
  // outcomes into a scratch file of its own.
  struct Child {
    std::vector<size_t> jobs;
    platform::FileDescriptor outcomes;
  };
  std::map<int, Child> running;
  int next_tag = 0;

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

  // Makes job i when it first starts; false when it cannot be made.
  auto made = [&](size_t i) {
    TransferJob& job = jobs[i];
    ++attempts[i];
    if (prepared[i] || !job.prepare) return true;
    prepared[i] = true;
    job.why = job.prepare(job);
    if (job.why.ok()) return true;
    end_job(i, TransferJob::Outcome::unprepared);
    return false;
  };

  // A first attempt at a named local file can share a child with others
  // to the same place; a retry goes alone.
  auto shareable = [&](size_t i) {
    return group_limit > 1 && attempts[i] == 1 && jobs[i].output_fd < 0 && !jobs[i].transfer.local.empty();
  };

  // Ready first attempts to the same place as job `first`, taken from the
  // waiting ones up to the group's limit. Jobs are made in their order, so a
  // job may depend on one before it that is still to be made (a part cut by
  // its basic copy's job): only jobs before every unmade one can join.
  auto companions_of = [&](size_t first) {
    std::vector<size_t> group{first};
    const std::string place = place_of(jobs[first].transfer);
    size_t first_unmade = jobs.size();
    for (size_t j = 0; j < jobs.size(); ++j)
      if (jobs[j].prepare && !prepared[j]) {
        first_unmade = j;
        break;
      }
    const Clock::time_point now = Clock::now();
    for (auto it = waiting.begin(); it != waiting.end() && group.size() < group_limit;) {
      const size_t j = *it;
      const bool joins = j < first_unmade && attempts[j] == 0 && not_before[j] <= now && jobs[j].output_fd < 0 &&
                         !jobs[j].transfer.local.empty() && place_of(jobs[j].transfer) == place;
      if (!joins) {
        ++it;
        continue;
      }
      it = waiting.erase(it);
      if (made(j)) group.push_back(j);
    }
    return group;
  };

  auto start_one = [&](size_t i) {
    TransferJob& job = jobs[i];
    reporter.flush();  // our lines stay in order with curl's
    // A failed attempt may have written part of its region: the next starts over.
    const bool placed = job.output_fd < 0 || platform::seek_to(job.output_fd, job.output_offset);
    const int tag = next_tag++;
    const platform::InputRange* input = job.input.fd >= 0 ? &job.input : nullptr;
    if (!placed ||
        !children.start(tag, curl_arguments(job.transfer, several, options.stall_seconds), job.output_fd, input)) {
      end_job(i, TransferJob::Outcome::not_started);
      return;
    }
    running[tag].jobs = {i};
  };

  auto start_group = [&](const std::vector<size_t>& group) {
    std::vector<const Transfer*> transfers;
    for (size_t i : group) transfers.push_back(&jobs[i].transfer);
    Child child{group, platform::create_nameless_file(".")};
    if (!static_cast<bool>(child.outcomes)) child.outcomes = platform::create_nameless_file("/tmp");
    const int tag = next_tag++;
    reporter.flush();
    if (!static_cast<bool>(child.outcomes) ||
        !children.start(tag, curl_group_arguments(transfers, options.stall_seconds), child.outcomes.get())) {
      for (size_t i : group) end_job(i, TransferJob::Outcome::not_started);
      return;
    }
    running[tag] = std::move(child);
  };

  auto start_next = [&]() {
    while (children.running() < width && !(failed && options.stop_on_failure)) {
      const auto ready = next_ready();
      if (ready == waiting.end()) return;
      const size_t i = *ready;
      waiting.erase(ready);
      if (!made(i)) continue;
      if (!shareable(i)) {
        start_one(i);
        continue;
      }
      const std::vector<size_t> group = companions_of(i);
      if (group.size() == 1)
        start_one(i);
      else
        start_group(group);
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

  // One transfer ended with curl's `code`.
  auto transfer_ended = [&](size_t i, int code) {
    TransferJob& job = jobs[i];
    if (code == 0 && job.verify) {
      job.why = job.verify(job);
      if (!job.why.ok()) {
        reporter.detail_line(job.transfer.label + ": " + job.why.why());
        if (job.check_failure_is_final) attempts[i] = transfer_attempts;
        code = -1;
      }
    }
    if (code != 0) {
      attempt_failed(i);
      return;
    }
    end_job(i, TransferJob::Outcome::done);
    // The line stands in for the bar taken away; a quiet transfer stays quiet.
    if (several && job.transfer.progress)
      reporter.detail(format_text(" transfer %zu of %zu done: %s\n", finished, jobs.size(),
                                  job.transfer.label.c_str()));
    if (options.on_done) options.on_done(i);
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
    auto child = running.find(ended->tag);
    if (child == running.end()) continue;
    const Child carried = std::move(child->second);
    running.erase(child);
    if (carried.jobs.size() == 1 && !static_cast<bool>(carried.outcomes)) {
      transfer_ended(carried.jobs.front(), ended->exit_code);
      continue;
    }
    const std::string written = platform::read_from_start(carried.outcomes.get()).value_or("");
    const std::vector<int> codes = outcomes_of(written, carried.jobs.size());
    for (size_t k = 0; k < carried.jobs.size(); ++k) transfer_ended(carried.jobs[k], codes[k]);
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
