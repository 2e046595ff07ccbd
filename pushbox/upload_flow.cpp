#include "pushbox/upload_flow.h"

#include <atomic>

#include <optional>
#include <set>

#include "core/nodes/node_selection.h"
#include "core/nodes/node_table.h"
#include "core/wire/exchange_tasks.h"
#include "platform/file_region.h"
#include "pushbox/copy_steps.h"
#include "transfer/copy_check.h"
#include "transfer/disaster_journal.h"
#include "transfer/engine.h"
#include "lists/time_prefix.h"
#include "transfer/write_planning.h"

namespace morbs::pushbox {

namespace {

// One file of the run, from its placing to its verdict.
struct FileRun {
  const UploadRequest* request = nullptr;
  bool matrix = false;
  WritePlaces places;
  permut_rec permut;
  TransferTable table;
  std::optional<DisasterJournal> journal;
  Status verdict = Status::success();
  // Its jobs in the engine's list: [first_job, first_job + job_count).
  size_t first_job = 0, job_count = 0;
  platform::FileDescriptor source;  // a split file's parts go from it
  // The one-file form says a file it could not open once what it reserved
  // is given back.
  bool told_unopened = false;
};

int64_t& space_of(NodeTable& nconf, int node, int area) {
  return area == 1 ? nconf[node].space : nconf[node].space1;
}

// What the places of one file take from the node table, so that the next
// file is placed on what is left.
void take_space(NodeTable& nconf, const FileRun& f) {
  const int64_t size = f.request->size;
  if (!f.matrix) {
    space_of(nconf, f.places.basic_node, f.places.basic_area) -= size;
    space_of(nconf, f.places.second_node, f.places.second_area) -= size;
    return;
  }
  const permut_rec& p = f.permut;
  // Slot j holds the basic copy of part j and the second copy of the part before it.
  for (int j = 0; j < p.nr; ++j) {
    const auto size_of = [&](int k) { return k == p.nr - 1 ? p.last_part_size : p.part_size; };
    space_of(nconf, p.node[j], p.area[j]) -= size_of(j) + size_of((j + p.nr - 1) % p.nr);
  }
}

// Chooses every file's places in order, on one asking of the nodes.
void place_files(std::vector<FileRun>& files, NodeTable& nconf) {
  std::set<std::string> names;
  for (FileRun& f : files) {
    // Two files of one name in one run would share a disaster file.
    if (!names.insert(stored_file_name_of(f.request->name)).second) {
      f.verdict = Status::failure("the same name is given twice in one run");
      continue;
    }
    if (f.matrix) {
      test_size_for_write_in_matrix_mode(nconf, f.permut, f.request->size);
      if (f.permut.nr < 2 || f.permut.nr > node_count) {
        f.verdict = Status::failure("not enough free space in nodes for write in matrix-mode");
        continue;
      }
    } else if (select_nodes_for_write(nconf, f.request->size, node_count, f.places) == 0) {
      f.verdict = Status::failure("no free space in nodes or nodes are closed");
      continue;
    }
    take_space(nconf, f);
  }
}

UploadOrder order_of(const FileRun& f, const Settings& settings, const std::string& uid32, NodeExchange& exchange,
                     const std::string& prefix) {
  const UploadRequest& r = *f.request;
  return UploadOrder{uid32, r.id,          r.fname_input, r.name, r.size, settings.ip_addr, settings.init_port,
                     &exchange, prefix};
}

// The one time prefix of the run's stored names (they differ by name, so
// one prefix keeps every stored name its own), from the node the first
// placed file's first copy goes to, as one file's planning asks it; empty
// when there is no such file or it gives none.
std::string prefix_of_run(const std::vector<FileRun>& files, const NodeTable& nconf, const Settings& settings,
                          NodeExchange& exchange) {
  for (const FileRun& f : files) {
    if (!f.verdict) continue;
    const int node = f.matrix ? f.permut.node[0] : f.places.basic_node;
    if (node < 0 || nconf[node].port <= 0) return "";
    Result<std::string> prefix = get_prefix(exchange, settings.ip_addr, nconf[node].port);
    return prefix ? *prefix : "";
  }
  return "";
}

// The file's reservations; a planning that failed gives back what it reserved.
void reserve_file(FileRun& f, const NodeTable& nconf, const Settings& settings, const std::string& uid32,
                  const std::string& prefix, const UploadForm& form, NodeExchange& exchange, Reporter& reporter) {
  const UploadRequest& r = *f.request;
  if (form.file_headers) {
    reporter.say(format_text("\nFile REPO:  %s\n", r.name.c_str()));
    reporter.say(format_text("File size:\t\t%lld\n", static_cast<long long>(r.size)));
    reporter.say_line(f.matrix ? "Mode:\t\t\tmatrix" : "Mode:\t\t\tsingular");
  }
  if (f.verdict && prefix.empty()) f.verdict = Status::failure("connection to data-network is interrupted");
  if (!f.verdict) {
    reporter.say(" " + f.verdict.why() + "\n");
    return;
  }
  const UploadOrder order = order_of(f, settings, uid32, exchange, prefix);
  f.verdict = f.matrix ? reserve_matrix(f.table, nconf, f.permut, f.journal, order, reporter)
                       : reserve_singular(f.table, nconf, f.places, f.journal, order, reporter);
  if (f.verdict) return;
  reporter.say(" " + f.verdict.why() + "\n");
  if (f.journal && f.journal->exists()) (void)f.journal->release(exchange, reporter);
  f.journal.reset();  // given back, or its disaster file stays for -clear_disaster
}

// The file's copies as engine jobs: a whole file twice, or each part's two
// copies from its range of the file.
void add_jobs(FileRun& f, std::vector<TransferJob>& jobs, const UploadForm& form, Reporter& reporter) {
  f.first_job = jobs.size();
  const std::string label_end = form.labels_name_the_file ? " of " + f.request->name : "";
  if (form.mode_lines && !f.matrix) reporter.say("\n Upload in singular-mode\n\n");
  if (!f.matrix) {
    for (Copy copy : {Copy::basic, Copy::second}) {
      TransferJob job;
      job.transfer = f.table.of(copy, 0)->transfer;
      job.transfer.label = std::string(copy_text(copy)) + " copy" + label_end;
      jobs.push_back(std::move(job));
    }
    f.job_count = 2;
    return;
  }
  // The parts go from the file held since the start.
  if (!f.request->source) f.source = platform::open_for_reading(f.request->fname_input);
  const int input = f.request->source ? f.request->source->fd() : f.source.get();
  if (input < 0) {
    f.verdict = Status::failure("can't open input file for upload to data-network");
    f.told_unopened = form.mode_lines;
    return;
  }
  if (form.mode_lines)
    reporter.say(format_text("\n Upload in matrix-mode, nr nodes: %d\n\n", f.table.part_count));
  std::vector<TransferJob> parts = part_jobs(f.table, input, label_end, reporter);
  f.job_count = parts.size();
  for (TransferJob& job : parts) jobs.push_back(std::move(job));
}

// The verdict of a file whose copies are all up: registered, or given back.
void register_file(FileRun& f, const Settings& settings, const UploadForm& form, NodeExchange& exchange,
                   Reporter& reporter, ListedDigestNotice& notice) {
  const int parts = f.matrix ? f.table.part_count : 1;
  for (int k = 0; k < parts; ++k) {
    const char* failure = nullptr;
    if (Status s = register_part_together(f.table, k, exchange, settings, reporter, notice, failure); !s) {
      f.verdict = s;
      if (Status kept = f.journal->release(exchange, reporter); kept && f.matrix)
        reporter.detail(format_text(failure, k));
      return;
    }
  }
  f.journal->remove();
  if (form.mode_lines)
    reporter.say(f.matrix ? "\n End upload in matrix-mode. SUCCESS!\n\n" : "\n End upload in singualar-mode. SUCCESS!\n\n");
}

// Every copy that is up is checked on its node (size and digest of what was
// sent), files side by side. A copy that differs is sent again (alone, with
// attempts of its own) and checked again, as often as a transfer is tried; a
// file with a copy still not good is not stored.
void check_copies(std::vector<FileRun>& files, std::vector<TransferJob>& jobs, const Settings& settings,
                  RunEnv& env) {
  // One byte per copy, not a packed bit: the checks' threads set theirs at
  // once, and bits sharing a word would lose each other's writes.
  std::vector<char> good(jobs.size(), false);
  std::vector<Status> why(jobs.size(), Status::success());
  std::vector<FileRun*> owner(jobs.size(), nullptr);
  for (FileRun& f : files)
    for (size_t j = f.first_job; j < f.first_job + f.job_count; ++j) owner[j] = &f;
  std::atomic<bool> no_digest_told{false};  // said once for the run, not once per file
  for (int round = 1; round <= transfer_attempts; ++round) {
    std::vector<char> bad(jobs.size(), false);
    // Copy by copy, so that even one file's two copies are checked side by side.
    run_exchange_tasks(jobs.size(), files_asking_at_once, env.exchange, env.reporter,
                       [&](size_t j, NodeExchange& exchange, Reporter& told) {
                         FileRun* f = owner[j];
                         // Its file's copies did not all go up.
                         if (!f || !f->verdict || good[j] || !jobs[j].done()) return;
                         UploadChecks checks(exchange, settings.ip_addr, told, &no_digest_told);
                         const size_t k = j - f->first_job;
                         const Copy copy = k % 2 == 0 ? Copy::basic : Copy::second;
                         const Status checked = checks.hook(*f->table.of(copy, static_cast<int>(k / 2)))(jobs[j]);
                         good[j] = checked.ok();
                         if (checked) return;
                         told.detail_line(jobs[j].transfer.label + ": " + checked.why());
                         // A copy found bad is a failed attempt, told as the engine tells one.
                         told.detail(format_text(upload_attempt_line, round, transfer_attempts));
                         bad[j] = true;
                         why[j] = checked;
                       });
    std::vector<TransferJob> again;
    std::vector<size_t> which;
    for (size_t j = 0; j < jobs.size(); ++j) {
      if (!bad[j]) continue;
      again.push_back(jobs[j]);
      again.back().prepare = nullptr;  // made already
      which.push_back(j);
    }
    if (again.empty() || round == transfer_attempts) break;
    EngineOptions options{settings.transfers, false, {}, settings.stall_seconds, 250, env.progress};
    run_transfers(again, options, env.reporter, env.transfers);
    for (size_t a = 0; a < again.size(); ++a) jobs[which[a]].outcome = again[a].outcome;
  }
  for (size_t i = 0; i < files.size(); ++i) {
    FileRun& f = files[i];
    if (!f.verdict) continue;
    for (size_t j = f.first_job; j < f.first_job + f.job_count; ++j)
      if (!good[j] && f.verdict) f.verdict = why[j].ok() ? Status::failure("a copy could not be sent again") : why[j];
    if (!f.verdict) note_failed_upload(f.request->fname_input);
  }
}

}  // namespace

std::vector<Status> upload_files(const std::vector<UploadRequest>& requests, const std::vector<bool>& matrix,
                                 const UploadForm& form, const Settings& settings, const std::string& uid32,
                                 RunEnv& env) {
  Reporter& reporter = env.reporter;
  std::vector<FileRun> files(requests.size());
  for (size_t i = 0; i < requests.size(); ++i) {
    files[i].request = &requests[i];
    files[i].matrix = matrix[i];
  }

  NodeTable nconf;
  test_nodes_for_write(nconf, settings.ip_addr, settings.init_port, env.exchange);
  place_files(files, nconf);
  const std::string prefix = prefix_of_run(files, nconf, settings, env.exchange);
  run_exchange_tasks(files.size(), files_asking_at_once, env.exchange, reporter,
                     [&](size_t i, NodeExchange& exchange, Reporter& told) {
                       reserve_file(files[i], nconf, settings, uid32, prefix, form, exchange, told);
                     });

  std::vector<TransferJob> jobs;
  for (size_t i = 0; i < files.size(); ++i) {
    if (!files[i].verdict) continue;
    add_jobs(files[i], jobs, form, reporter);
    for (size_t j = files[i].first_job; j < jobs.size(); ++j) jobs[j].file = static_cast<int>(i);
  }
  EngineOptions options{settings.transfers, form.stop_on_failure, {}, settings.stall_seconds, 250, env.progress};
  if (form.run_lines && !jobs.empty()) reporter.say(format_text("\n Sending %zu copies\n", jobs.size()));
  run_transfers(jobs, options, reporter, env.transfers);
  for (FileRun& f : files) {
    if (!f.verdict || f.job_count == 0) continue;
    const std::vector<TransferJob> own(jobs.begin() + static_cast<std::ptrdiff_t>(f.first_job),
                                       jobs.begin() + static_cast<std::ptrdiff_t>(f.first_job + f.job_count));
    if (first_failure(own) != nullptr) f.verdict = transfers_failed(own, f.request->fname_input, reporter);
  }
  check_copies(files, jobs, settings, env);
  // Whatever its copies say, a file that changed under them is not stored:
  // what went up is neither version of it.
  for (FileRun& f : files)
    if (f.journal)
      if (Status same = unchanged(*f.request); !same) f.verdict = same;

  ListedDigestNotice digest_notice("pushbox");  // once for the run, not per file
  run_exchange_tasks(files.size(), files_asking_at_once, env.exchange, reporter,
                     [&](size_t i, NodeExchange& exchange, Reporter& told) {
                       FileRun& f = files[i];
                       if (f.journal && f.verdict) {
                         register_file(f, settings, form, exchange, told, digest_notice);
                       } else if (f.journal) {
                         const Status kept = f.journal->release(exchange, told);
                         if (kept && f.told_unopened) told.say("can't open input file for upload to data-network\n");
                       }
                       if (form.run_lines)
                         told.say(f.verdict ? " Stored: " + f.request->name + "\n"
                                            : " Not stored: " + f.request->name + " (" + f.verdict.why() + ")\n");
                     });

  std::vector<Status> verdicts;
  for (const FileRun& f : files) verdicts.push_back(f.verdict);
  return verdicts;
}

std::vector<Status> upload_many(const std::vector<UploadRequest>& requests, const Settings& settings,
                                const std::string& uid32, RunEnv& env) {
  std::vector<bool> matrix;
  for (const UploadRequest& r : requests) matrix.push_back(r.size > settings.min_fsize);
  return upload_files(requests, matrix, several_files_form, settings, uid32, env);
}

}  // namespace morbs::pushbox
