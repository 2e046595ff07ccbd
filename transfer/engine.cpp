#include "transfer/engine.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <set>

#include "core/digest/sha256.h"
#include "platform/file_region.h"
#include "platform/regular_file.h"

namespace morbs {

namespace {

using Clock = std::chrono::steady_clock;
using Kind = platform::SftpOutcome::Kind;

const char* attempt_line(const TransferJob& job) {
  return job.transfer.direction == Direction::upload ? upload_attempt_line : download_attempt_line;
}

// Transfers that ended, handed over from the runner's thread.
class Endings {
 public:
  struct Ending {
    size_t job;
    platform::SftpOutcome outcome;
  };
  // Told under the lock: once the last ending is taken, the run may end
  // and this object with it, before a notice given after the lock.
  void push(Ending ending) {
    std::lock_guard<std::mutex> held(lock_);
    endings_.push_back(std::move(ending));
    arrived_.notify_one();
  }
  // The next one; nothing when none came within `timeout_ms` (below 0: no limit).
  std::optional<Ending> next(int timeout_ms) {
    std::unique_lock<std::mutex> held(lock_);
    auto any = [this] { return !endings_.empty(); };
    if (timeout_ms < 0)
      arrived_.wait(held, any);
    else if (!arrived_.wait_for(held, std::chrono::milliseconds(timeout_ms), any))
      return std::nullopt;
    Ending e = std::move(endings_.front());
    endings_.pop_front();
    return e;
  }

 private:
  std::mutex lock_;
  std::condition_variable arrived_;
  std::deque<Ending> endings_;
};

// A transfer on its way: the local file it opened by name, and its bytes
// as they pass (on the runner's thread).
struct Flight {
  platform::FileDescriptor local;
  digest::Sha256 sha;
  std::atomic<int64_t> moved{0};
  int64_t size = -1;  // what it will move, when known
};

// What a job will move, when known: its share of the run's progress.
int64_t size_of_job(const TransferJob& job) {
  if (job.transfer.direction == Direction::download) return job.output_size;
  if (job.input.fd >= 0) return job.input.length;
  return job.transfer.local.empty() ? -1 : platform::size_of_file(job.transfer.local);
}

// A failure that says the node's SFTP service is gone for this run.
bool loses_place(Kind kind) { return kind == Kind::stalled || kind == Kind::no_service; }

}  // namespace

int retry_pause(int base_ms, int attempt, double unit) {
  if (base_ms <= 0 || attempt < 2) return 0;
  const double grown = static_cast<double>(base_ms) * static_cast<double>(1 << std::min(attempt - 2, 10));
  return static_cast<int>(grown * (0.5 + unit));
}

bool run_transfers(std::vector<TransferJob>& jobs, const EngineOptions& options, Reporter& reporter,
                   TransferRunner& runner) {
  const size_t width = options.width < 1 ? 1 : static_cast<size_t>(options.width);
  const bool several = width > 1;
  std::deque<size_t> waiting;
  for (size_t i = 0; i < jobs.size(); ++i) {
    jobs[i].outcome = TransferJob::Outcome::waiting;
    waiting.push_back(i);
  }
  std::vector<int> attempts(jobs.size(), 0);
  std::vector<bool> prepared(jobs.size(), false);
  // Why each job's last attempt failed: a job that fails for good keeps it.
  std::vector<std::string> last_failure(jobs.size());
  std::vector<Clock::time_point> not_before(jobs.size(), Clock::time_point{});
  std::minstd_rand jitter(std::random_device{}());
  bool failed = false;
  size_t finished = 0;
  Endings endings;
  std::map<size_t, std::unique_ptr<Flight>> flights;

  // The run's progress: what every job will move, what the done ones moved.
  ProgressView* view = options.progress;
  std::vector<int64_t> sizes(jobs.size(), -1);
  int64_t total_bytes = 0, done_bytes = 0;
  std::set<int> files;
  for (size_t i = 0; i < jobs.size(); ++i) {
    if (view) sizes[i] = size_of_job(jobs[i]);
    total_bytes += std::max<int64_t>(sizes[i], 0);
    files.insert(jobs[i].file);
  }
  const Clock::time_point began = Clock::now();
  Clock::time_point drawn{};

  // Our lines go on a clean line, never into the bar.
  auto clear_view = [&] {
    if (view) view->erase();
  };

  auto files_done = [&] {
    size_t done = 0;
    for (int file : files) {
      bool all = true;
      for (const TransferJob& job : jobs) all = all && (job.file != file || job.done());
      done += all;
    }
    return done;
  };

  auto draw = [&] {
    if (!view || Clock::now() - drawn < std::chrono::milliseconds(100)) return;
    drawn = Clock::now();
    if (!several) {
      if (flights.size() != 1 || !jobs[flights.begin()->first].transfer.progress) return;
      const Flight& f = *flights.begin()->second;
      reporter.flush();
      view->show(bar_text(f.moved.load(), f.size, view->columns()));
      return;
    }
    RunFigures figures{done_bytes, total_bytes, 0, files_done(), files.size()};
    for (const auto& [i, f] : flights) figures.done_bytes += f->moved.load();
    figures.seconds = std::chrono::duration<double>(Clock::now() - began).count();
    reporter.flush();
    view->show(run_text(figures));
  };

  auto end_job = [&](size_t i, TransferJob::Outcome outcome) {
    jobs[i].outcome = outcome;
    if (outcome != TransferJob::Outcome::done) failed = true;
    ++finished;
  };

  auto busy_place = [&](size_t i) {
    const std::string place = place_of(jobs[i].transfer);
    for (const auto& [running, flight] : flights)
      if (place_of(jobs[running].transfer) == place) return true;
    return false;
  };

  // The first waiting job whose pause is over. One at a time keeps the
  // written order: a retry's pause holds back the jobs behind it. Several
  // at a time go to a node with nothing running first, so that each node
  // serves one transfer while another node waits for one; jobs are made in
  // their order, so none goes before a job still to be made.
  auto next_ready = [&]() {
    const Clock::time_point now = Clock::now();
    auto first = waiting.end();
    for (auto it = waiting.begin(); it != waiting.end(); ++it) {
      const size_t i = *it;
      if (not_before[i] > now) {
        if (!several) break;
        continue;
      }
      if (first == waiting.end()) first = it;
      if (!several || (jobs[i].prepare && !prepared[i])) break;
      if (!busy_place(i)) return it;
    }
    return first;
  };

  // Makes job i when it first starts; false when it cannot be made.
  auto made = [&](size_t i) {
    TransferJob& job = jobs[i];
    ++attempts[i];
    if (prepared[i] || !job.prepare) return true;
    prepared[i] = true;
    clear_view();
    job.why = job.prepare(job);
    if (job.why.ok()) return true;
    end_job(i, TransferJob::Outcome::unprepared);
    return false;
  };

  // All attempts at this source are used up: its other copy, if it has one.
  auto source_failed = [&](size_t i) {
    TransferJob& job = jobs[i];
    if (job.fallback && job.fallback(job).ok()) {
      attempts[i] = 0;  // attempts of its own for the new source
      not_before[i] = Clock::time_point{};
      waiting.push_front(i);
    } else {
      if (!last_failure[i].empty()) job.why = Status::failure(job.transfer.label + ": " + last_failure[i]);
      end_job(i, TransferJob::Outcome::failed);
    }
  };

  auto attempt_failed = [&](size_t i) {
    TransferJob& job = jobs[i];
    clear_view();
    reporter.detail(format_text(attempt_line(job), attempts[i], transfer_attempts));
    if (attempts[i] < transfer_attempts) {
      const double unit = std::uniform_real_distribution<double>(0.0, 1.0)(jitter);
      not_before[i] = Clock::now() + std::chrono::milliseconds(
                                         retry_pause(options.retry_pause_ms, attempts[i] + 1, unit));
      waiting.push_front(i);  // retried alone, before the rest
    } else {
      source_failed(i);
    }
  };

  // Where the job's bytes come from or go; false (told) when its local
  // file cannot be opened, a failed attempt like any other.
  auto open_io = [&](size_t i, Flight& flight, platform::SftpJob& io) {
    const TransferJob& job = jobs[i];
    const bool upload = job.transfer.direction == Direction::upload;
    if (upload && job.input.fd >= 0) {
      io.fd = job.input.fd;
      io.offset = job.input.offset;
      io.length = job.input.length;
      return true;
    }
    if (!upload && (job.output_fd >= 0 || job.transfer.local.empty())) {
      io.fd = job.output_fd;
      io.offset = job.output_offset;
      io.length = job.output_size;
      return true;
    }
    flight.local = upload ? platform::open_for_reading(job.transfer.local)
                          : platform::open_for_replacing(job.transfer.local);
    io.fd = flight.local.get();
    io.length = upload ? platform::size_of_open_file(io.fd) : job.output_size;
    if (io.fd >= 0 && io.length >= (upload ? 0 : -1)) return true;
    clear_view();
    reporter.warn_line(job.transfer.label + ": cannot open " + job.transfer.local);
    last_failure[i] = "cannot open " + job.transfer.local;
    return false;
  };

  auto start_one = [&](size_t i) {
    TransferJob& job = jobs[i];
    auto flight = std::make_unique<Flight>();
    flight->size = sizes[i];
    platform::SftpJob io;
    io.stall_seconds = options.stall_seconds;
    if (!open_io(i, *flight, io)) {
      attempt_failed(i);
      return;
    }
    Flight* f = flight.get();
    io.on_bytes = [f](std::string_view bytes) {
      f->sha.update(bytes);
      f->moved.fetch_add(static_cast<int64_t>(bytes.size()), std::memory_order_relaxed);
    };
    flights.emplace(i, std::move(flight));
    clear_view();
    reporter.flush();
    runner.start(job.transfer, std::move(io),
                 [&endings, i](platform::SftpOutcome outcome) { endings.push({i, std::move(outcome)}); });
  };

  // A node lost earlier in the run is not tried again, but for the retries
  // of the transfer that lost it.
  auto at_lost_place = [&](size_t i) {
    auto lost = runner.lost_places.find(place_of(jobs[i].transfer));
    if (lost == runner.lost_places.end() || attempts[i] > 0) return false;
    clear_view();
    reporter.warn_line(jobs[i].transfer.label + ": not tried: " + lost->second);
    last_failure[i] = "not tried: " + lost->second;
    source_failed(i);
    return true;
  };

  auto start_next = [&]() {
    while (flights.size() < width && !(failed && options.stop_on_failure)) {
      const auto ready = next_ready();
      if (ready == waiting.end()) return;
      const size_t i = *ready;
      waiting.erase(ready);
      if (at_lost_place(i) || !made(i)) continue;
      start_one(i);
    }
  };

  // How long until a paused job may start; -1 when none waits for that (or
  // there would be no room for it anyway).
  auto pause_left_ms = [&]() {
    if (waiting.empty() || (failed && options.stop_on_failure) || flights.size() >= width) return -1;
    Clock::time_point soonest = Clock::time_point::max();
    for (size_t i : waiting) soonest = std::min(soonest, not_before[i]);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(soonest - Clock::now()).count();
    return static_cast<int>(std::max<int64_t>(left, 0));
  };

  // One transfer ended as `outcome` says.
  auto transfer_ended = [&](size_t i, const platform::SftpOutcome& outcome) {
    TransferJob& job = jobs[i];
    std::unique_ptr<Flight> flight = std::move(flights.at(i));
    flights.erase(i);
    job.passed_bytes = outcome.bytes;
    job.passed_sha256 = digest::to_hex(flight->sha.finish());
    // A piece longer than its node said went through as far as the node
    // goes: its checks find it of the wrong size, as they would any other.
    bool ok = outcome.ok() || outcome.kind == Kind::too_long;
    const std::string place = place_of(job.transfer);
    if (!ok) {
      clear_view();
      reporter.warn_line(job.transfer.label + ": " + outcome.error);
      last_failure[i] = outcome.error;
    }
    // Its own attempts go on; the run's other transfers do not wait there,
    // even when one of those attempts goes through: a node that stalls
    // once may stall on any copy.
    if (loses_place(outcome.kind)) {
      const std::string node = place.substr(0, place.find(' '));
      runner.lost_places.emplace(place, "the SFTP service at " + node + " failed earlier in this run (" +
                                            outcome.error + ")");
    }
    if (ok && job.verify) {
      clear_view();
      job.why = job.verify(job);
      if (!job.why.ok()) {
        if (!job.check_tells_itself) reporter.detail_line(job.transfer.label + ": " + job.why.why());
        if (job.check_failure_is_final) attempts[i] = transfer_attempts;
        last_failure[i].clear();  // `why` holds the check's own reason
        ok = false;
      }
    }
    if (!ok) {
      attempt_failed(i);
      return;
    }
    end_job(i, TransferJob::Outcome::done);
    done_bytes += outcome.bytes;
    if (view && !several && job.transfer.progress) {
      view->show(bar_text(flight->size > 0 ? flight->size : outcome.bytes, flight->size, view->columns()));
      view->keep();
    }
    // The line stands beside the run's bar; a quiet transfer stays quiet.
    if (several && job.transfer.progress) {
      clear_view();
      reporter.detail(format_text(" transfer %zu of %zu done: %s\n", finished, jobs.size(),
                                  job.transfer.label.c_str()));
    }
    if (options.on_done) options.on_done(i);
  };

  for (;;) {
    start_next();
    int wait = pause_left_ms();
    if (flights.empty()) {
      if (wait < 0) break;
    } else if (view) {
      wait = wait < 0 ? 100 : std::min(wait, 100);
    }
    draw();
    if (auto ended = endings.next(wait)) transfer_ended(ended->job, ended->outcome);
  }
  clear_view();
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

std::string failure_with_cause(const TransferJob& job) {
  const std::string text = download_failure(job);
  return job.why.ok() ? text : text + ": " + job.why.why();
}

}  // namespace morbs
