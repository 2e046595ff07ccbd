#include "pullbox/read_flow.h"

#include <cerrno>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "core/nodes/node_selection.h"
#include "core/report/held_reporter.h"
#include "core/wire/exchange_tasks.h"
#include "lists/get_q_string_for_read.h"
#include "lists/work_files.h"
#include "platform/regular_file.h"
#include "pullbox/get_list.h"
#include "pullbox/joined_file.h"
#include "pullbox/piece_check.h"
#include "pullbox/read_command.h"
#include "pullbox/read_steps.h"
#include "transfer/engine.h"

namespace morbs::pullbox {

namespace {

// How many files' pieces are checked on their nodes at once.
constexpr int files_asking_at_once = 8;

struct Piece {
  Sources sources;
  size_t source = 0;  // which of its sources it comes from
  std::optional<PieceSource> planned;
  int64_t offset = 0, end = 0;
};

struct FileRun {
  const WantedFile* wanted = nullptr;
  Status verdict = Status::success();
  std::vector<Piece> pieces;
  std::unique_ptr<JoinedFile> joined;
  size_t first_job = 0;
  std::vector<int64_t> ends;  // where each piece ends in the file
  std::unique_ptr<PieceChecks> checks;
  // Where each piece's copy is taken from when the file is planned again;
  // set when a twin of another size had to be taken.
  std::vector<size_t> start;
  bool relaid = false;
  std::vector<TransferJob>* jobs = nullptr;
  // Its pieces were looked for: list.q has been used, and goes at the end.
  bool began = false;  // the list its jobs are in
};

// The nodes the run knows, by query port: those it asked about themselves
// for the list, and each other one once its first piece asked it (alive,
// then its login). A node that did not answer is not asked again.
class KnownNodes {
 public:
  explicit KnownNodes(const NodeTable& surveyed) {
    for (const node_conf& node : surveyed)
      if (node.port > 0) {
        auto k = std::make_shared<Known>();
        k->asked = true;
        k->node = node;
        known_[node.port] = std::move(k);
      }
  }
  Result<PieceSource> chkfile(Run& run, const std::string& id, int port, const std::string& disk, Copy copy,
                              const std::string& stored, NodeExchange& exchange, Reporter& reporter) {
    const std::string& address = run.settings.ip_addr;
    std::shared_ptr<Known> k;
    {
      std::lock_guard<std::mutex> held(lock_);
      std::shared_ptr<Known>& slot = known_[port];
      if (!slot) slot = std::make_shared<Known>();
      k = slot;
    }
    std::lock_guard<std::mutex> asking(k->lock);  // one question about a node at a time
    if (k->asked) return file_read_on(k->node, id, address, disk, copy, stored, exchange, reporter);
    NodeTable own;
    Result<PieceSource> piece = file_read(own, id, address, port, disk, copy, stored, exchange, reporter);
    // Without an area the node was asked no login: it is asked again for another line.
    if (disk == "accounts" || disk == "accounts1" || own[0].port < 1) {
      k->asked = true;
      k->node = own[0];
    }
    return piece;
  }

 private:
  struct Known {
    std::mutex lock;
    bool asked = false;
    node_conf node;
  };
  std::mutex lock_;
  std::map<int, std::shared_ptr<Known>> known_;
};

PiecePlanner planner_for(Run& run, KnownNodes& known, const std::string& id, NodeExchange& exchange,
                         Reporter& reporter) {
  return [&run, &known, &id, &exchange, &reporter](const std::string& line) {
    const int port = query_port_of(run.settings, value_of(line, "PORT"));
    const Copy copy = value_of(line, "ORG") == "0" ? Copy::basic : Copy::second;
    return listed_digest_first(line, known.chkfile(run, id, port, value_of(line, "DISK"), copy,
                                                   value_of(line, "FN"), exchange, reporter));
  };
}

// The file's pieces from the list, each checked on its node.
// A part missing from the list is found where one file's download finds
// it: after the pieces before it were checked on their nodes.
void plan_file(FileRun& f, Run& run, KnownNodes& known, const std::string& id, NodeExchange& exchange,
               Reporter& reporter) {
  const WantedFile& w = *f.wanted;
  if (w.stored.size() > fn_read_limit) {
    f.verdict = Status::failure("the stored name is too long");
    return;
  }
  if (w.out.size() > fn_out_limit) {
    f.verdict = Status::failure("the local name is too long");
    return;
  }
  // A refused line is said as it always was; the selection's other details are not.
  HeldReporter refusals(false);
  const Result<Lines> selection = read_selection(list_name, w.stored, refusals);
  refusals.pass_to(reporter);
  if (!selection || selection->empty()) {
    reporter.say_line(!selection ? "No file name in the list" : "No file in id-account to download");
    f.verdict = Status::failure(!selection ? "the file is not in the list" : "no stored copy of the file in the list");
    return;
  }
  f.began = true;
  int missing = -1;
  const std::vector<std::string> lines = pieces_of(*selection, missing);
  // The pieces are asked of their nodes side by side (each node still hears
  // its own questions in order); what each asking tells is held and shown
  // piece after piece, up to the first that fails, as one after another.
  std::vector<Piece> pieces;
  for (Sources& s : sources_of(lines)) {
    const size_t k = pieces.size();
    pieces.push_back(Piece{std::move(s), k < f.start.size() ? f.start[k] : 0, std::nullopt, 0, 0});
  }
  std::vector<std::optional<Result<PieceSource>>> planned(pieces.size());
  std::vector<HeldReporter> told(pieces.size(), HeldReporter(reporter.details_shown()));
  if (!pieces.empty()) {
    run_exchange_tasks(pieces.size(), static_cast<int>(pieces.size()), exchange, reporter,
                       [&](size_t k, NodeExchange& asked, Reporter&) {
                         Reporter& mine = told[k];
                         mine.say(format_text("NR PART: %d of %s\n", static_cast<int>(k) + 1, w.out.c_str()));
                         const PiecePlanner plan = planner_for(run, known, id, asked, mine);
                         Result<PieceSource> piece = plan_from(plan, mine, pieces[k].sources, pieces[k].source, k);
                         if (piece && !piece->sha256) piece->sha256 = twin_digest(plan, pieces[k].sources, pieces[k].source);
                         planned[k] = std::move(piece);
                       });
  }
  int64_t offset = 0;
  for (size_t k = 0; k < pieces.size(); ++k) {
    told[k].pass_to(reporter);
    if (!*planned[k]) {
      f.verdict = planned[k]->status();
      return;
    }
    Piece& piece = pieces[k];
    piece.offset = offset;
    offset += (*planned[k])->size;
    piece.end = offset;
    piece.planned = std::move(**planned[k]);
    f.pieces.push_back(std::move(piece));
  }
  if (missing >= 0) {
    reporter.say(format_text("Part %d of the file is not in the list\n", missing + 1));
    f.verdict = Status::failure("a part of the file is not in the list");
  }
}

// The file's pieces as engine jobs, each into its region of a hidden file
// beside OUT.
Status add_jobs(FileRun& f, std::vector<TransferJob>& jobs, SizeOnlyNotice& size_only, const ReadForm& form,
                Reporter& reporter) {
  f.joined = std::make_unique<JoinedFile>();
  f.checks = std::make_unique<PieceChecks>(reporter, f.pieces.size(), size_only);
  for (const Piece& piece : f.pieces) f.ends.push_back(piece.end);
  if (!f.joined->create(f.wanted->out)) {
    const int error = errno;
    if (form.one_file_lines) reporter.detail_line("\nError: can't open file for write");
    return Status::failure(f.wanted->out + ": can't open file for write: " + platform::cause_of(error));
  }
  f.first_job = jobs.size();
  for (size_t k = 0; k < f.pieces.size(); ++k) {
    Piece& piece = f.pieces[k];
    TransferJob job;
    job.transfer = piece.planned->transfer;
    // One file's pieces each draw their bar; many files share the run's line.
    job.transfer.progress = !form.labels_name_the_file;
    job.transfer.label = "part " + std::to_string(k + 1) + (form.labels_name_the_file ? " of " + f.wanted->out : "");
    job.transfer.local.clear();
    job.output_fd = f.joined->region_at(piece.offset);
    job.output_offset = piece.offset;
    job.output_size = piece.end - piece.offset;
    if (job.output_fd < 0) {
      if (form.one_file_lines) reporter.detail_line("\nError: can't open file for write");
      return Status::failure("can't open file for write");
    }
    f.checks->expect(k, piece.planned->sha256);
    f.checks->attach(job, k, f.ends);
    jobs.push_back(std::move(job));
  }
  return Status::success();
}

// Whether piece k arrived with exactly the size its node reported.
bool arrived_whole(const FileRun& f, const TransferJob& job, size_t k) {
  const Piece& piece = f.pieces[k];
  return job.passed_bytes == piece.end - piece.offset;
}

// Every planned file's pieces through one run of the engine, into `jobs`.
// A copy that fails every attempt hands the piece to its twin, which must
// hold as many bytes; one that does not marks its file to be laid out anew.
void fetch_some(const std::vector<FileRun*>& files, std::vector<TransferJob>& jobs, Run& run, KnownNodes& known,
                const std::string& id, RunEnv& env, const ReadForm& form, bool say_count) {
  Reporter& reporter = env.reporter;
  for (size_t i = 0; i < files.size(); ++i) {
    FileRun* f = files[i];
    f->jobs = &jobs;
    const size_t first = jobs.size();
    if (f->verdict) f->verdict = add_jobs(*f, jobs, run.size_only, form, reporter);
    for (size_t j = first; j < jobs.size(); ++j) jobs[j].file = static_cast<int>(i);
  }
  std::vector<std::pair<FileRun*, size_t>> piece_of_job;
  for (FileRun* f : files)
    if (f->verdict)
      for (size_t k = 0; k < f->pieces.size(); ++k) piece_of_job.emplace_back(f, k);
  const PiecePlanner plan = planner_for(run, known, id, env.exchange, reporter);
  for (size_t j = 0; j < jobs.size(); ++j) {
    jobs[j].fallback = [&, j](TransferJob& job) -> Status {
      auto [f, k] = piece_of_job[j];
      Piece& piece = f->pieces[k];
      if (piece.source + 1 >= piece.sources.size()) return Status::failure("no other copy");
      const std::string failed_copy = copy_name(piece.sources[piece.source]);
      ++piece.source;
      Result<PieceSource> other = plan_from(plan, reporter, piece.sources, piece.source, k);
      if (!other) return other.status();
      if (other->size != piece.end - piece.offset) {
        f->relaid = true;
        return Status::failure("the copies differ in size");
      }
      const std::string of_file = form.labels_name_the_file ? f->wanted->out + ": " : "";
      reporter.warn_line("pullbox: " + of_file + "part " + std::to_string(k + 1) + ": the " +
                         failed_copy + " copy failed; the " + copy_name(piece.sources[piece.source]) +
                         " copy is taken");
      f->checks->expect(k, other->sha256);
      Transfer next = std::move(other->transfer);
      next.local = job.transfer.local;
      next.label = job.transfer.label;
      next.progress = job.transfer.progress;
      job.transfer = std::move(next);
      return Status::success();
    };
  }
  EngineOptions options{run.settings.transfers, form.stop_on_failure, {}, run.settings.stall_seconds, 250,
                        env.progress};
  if (say_count && form.run_lines && !jobs.empty()) reporter.say(format_text("\n Fetching %zu pieces\n", jobs.size()));
  run_transfers(jobs, options, reporter, env.transfers);
}

}  // namespace

std::vector<Status> read_files(Run& run, RunEnv& env, const std::string& id, const std::vector<WantedFile>& wanted,
                               const ReadForm& form) {
  Reporter& reporter = env.reporter;
  std::vector<FileRun> files(wanted.size());
  for (size_t i = 0; i < wanted.size(); ++i) files[i].wanted = &wanted[i];
  if (check_account_id(run.settings, id) == 0) {
    std::vector<Status> refused(wanted.size(), Status::failure("incorrect account id"));
    return refused;
  }
  // Fetching the list asks the nodes about themselves; with a list already
  // here each node is asked once its first piece needs it.
  if (!list_readable()) {
    // A list that cannot be written is the cause to tell, not the file
    // missing from it.
    if (Status fetched = get_list(run.nconf, id, run.settings, env); !fetched && !list_readable()) {
      for (size_t i = 0; i < wanted.size(); ++i) reporter.say_line("No file name in the list");
      reporter.flush();
      return std::vector<Status>(wanted.size(), fetched);
    }
  }
  KnownNodes known(run.nconf);
  run_exchange_tasks(files.size(), files_asking_at_once, env.exchange, reporter,
                     [&](size_t i, NodeExchange& exchange, Reporter& told) {
                       plan_file(files[i], run, known, id, exchange, told);
                     });

  std::vector<TransferJob> jobs;
  std::vector<FileRun*> all;
  for (FileRun& f : files) all.push_back(&f);
  fetch_some(all, jobs, run, known, id, env, form, true);
  // A file whose piece had to come from a twin of another size is laid out
  // anew on the sizes of the copies now chosen, and fetched again.
  std::vector<TransferJob> again;
  std::vector<FileRun*> relaid;
  for (FileRun& f : files)
    if (f.relaid) relaid.push_back(&f);
  if (!relaid.empty()) {
    run_exchange_tasks(relaid.size(), files_asking_at_once, env.exchange, reporter,
                       [&](size_t i, NodeExchange& exchange, Reporter& told) {
                         FileRun& f = *relaid[i];
                         told.warn_line("pullbox: " + f.wanted->out +
                                        ": a copy of another size is taken: the file is fetched again");
                         for (const Piece& p : f.pieces) f.start.push_back(p.source);
                         f = FileRun{f.wanted, Status::success(), {}, {}, 0, {}, {}, std::move(f.start), false, nullptr, true};
                         plan_file(f, run, known, id, exchange, told);
                       });
    std::vector<FileRun*> planned;
    for (FileRun* f : relaid)
      if (f->verdict) planned.push_back(f);
    fetch_some(planned, again, run, known, id, env, form, false);
  }

  std::vector<Status> verdicts;
  bool began = false;
  for (FileRun& f : files) {
    began = began || f.began;
    if (f.relaid && f.verdict) f.verdict = Status::failure("the copies differ in size");
    for (size_t k = 0; f.verdict && f.jobs && k < f.pieces.size(); ++k) {
      const TransferJob& job = (*f.jobs)[f.first_job + k];
      if (!job.done()) {
        f.verdict = Status::failure(failure_with_cause(job));
        if (form.one_file_lines) reporter.say_line(download_failure(job));
      } else if (!arrived_whole(f, job, k)) {
        f.verdict = Status::failure("a piece did not arrive with the size its node reported");
        if (form.one_file_lines) reporter.say_line("download error");
      }
    }
    if (f.verdict && !f.joined->finish(f.wanted->out)) {
      if (form.one_file_lines) reporter.detail(format_text("\nError: can't write %s\n", f.wanted->out.c_str()));
      f.verdict = Status::failure("can't write " + f.wanted->out);
    }
    f.joined.reset();  // an unfinished file goes
    if (form.one_file_lines && f.verdict) reporter.say("End download. SUCCESS!\n");
    if (form.run_lines)
      reporter.say(f.verdict ? " Fetched: " + f.wanted->out + "\n"
                             : " Not fetched: " + f.wanted->out + " (" + f.verdict.why() + ")\n");
    verdicts.push_back(f.verdict);
  }
  // A list no file was looked for in stays, as when a run ends before downloading.
  if (began) std::remove(list_name);
  reporter.flush();
  return verdicts;
}

}  // namespace morbs::pullbox
