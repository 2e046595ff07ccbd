#include "pullbox/read_command.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <vector>

#include "core/report/reporter.h"
#include "core/wire/number_text.h"
#include "core/wire/query_string.h"
#include "lists/get_q_string_for_read.h"
#include "lists/list_line.h"
#include "lists/scratch_files.h"
#include "lists/stored_name.h"
#include "platform/regular_file.h"
#include "platform/text_file.h"
#include "pullbox/get_list.h"
#include "pullbox/joined_file.h"
#include "pullbox/out_names.h"
#include "pullbox/read_steps.h"
#include "pullbox/piece_check.h"
#include "transfer/engine.h"
#include "transfer/read_planning.h"

namespace morbs::pullbox {

namespace {

// Up to TRANSFERS pieces fetched at once, each with its own attempts,
// straight into its own region of the file that becomes fn_out: nothing is
// joined afterwards. Each piece is asked of its node just before its
// transfer starts, so the questions for later pieces overlap the first
// transfers; a piece missing from the list stops it when its turn comes.
//
// `source` says which of its copies each piece comes from, kept from one
// round to the next. A twin of another size than the copy that failed
// cannot take that copy's region: `relaid` is then set, and the file is to
// be fetched again, laid out on the sizes of the copies now chosen.
Status download_pieces(Run& run, RunEnv& env, const std::vector<std::string>& lines, int missing,
                       const std::string& id, const std::string& fn_out, std::vector<size_t>& source,
                       bool& relaid) {
  Reporter& reporter = env.reporter;
  const PiecePlanner plan_piece = [&](const std::string& line) {
    const Settings& s = run.settings;
    const int port = query_port_of(s, value_of(line, "PORT"));
    const Copy copy = value_of(line, "ORG") == "0" ? Copy::basic : Copy::second;
    return listed_digest_first(line, file_read(run.nconf, id, s.ip_addr, port, value_of(line, "DISK"), copy,
                                               value_of(line, "FN"), env.exchange, reporter));
  };
  const std::vector<Sources> sources = sources_of(lines);
  JoinedFile joined;
  if (!joined.create(fn_out)) {
    const int error = errno;
    reporter.detail_line("\nError: can't open file for write");
    return Status::failure(fn_out + ": can't open file for write: " + platform::cause_of(error));
  }
  const size_t pieces = lines.size() + (missing >= 0 ? 1 : 0);
  std::vector<TransferJob> jobs(pieces);
  std::vector<int64_t> ends(pieces, 0);
  int64_t offset = 0;  // where the next piece starts: pieces are made in order
  PieceChecks checks(reporter, pieces, run.size_only);
  for (size_t k = 0; k < pieces; ++k) {
    jobs[k].transfer.direction = Direction::download;
    jobs[k].prepare = [&, k](TransferJob& job) -> Status {
      if (k == lines.size()) {
        reporter.say(format_text("Part %d of the file is not in the list\n", missing + 1));
        return Status::failure("a part of the file is not in the list");
      }
      reporter.say(format_text("NR PART: %d of %s\n", static_cast<int>(k) + 1, fn_out.c_str()));
      Result<PieceSource> piece = plan_from(plan_piece, reporter, sources[k], source[k], k);
      if (!piece) return piece.status();
      const int region = joined.region_at(offset);
      if (region < 0) {
        reporter.detail_line("\nError: can't open file for write");
        return Status::failure("can't open file for write");
      }
      job.transfer = std::move(piece->transfer);
      job.transfer.local.clear();  // into the region
      job.transfer.label = "part " + std::to_string(k + 1);
      job.output_fd = region;
      job.output_offset = offset;
      job.output_size = piece->size;
      checks.expect(k, piece->sha256 ? piece->sha256 : twin_digest(plan_piece, sources[k], source[k]));
      offset += piece->size;
      ends[k] = offset;
      return Status::success();
    };
    // A copy that fails every attempt hands the piece to its twin, which
    // must hold as many bytes.
    jobs[k].fallback = [&, k](TransferJob& job) -> Status {
      if (k >= lines.size() || source[k] + 1 >= sources[k].size()) return Status::failure("no other copy");
      const std::string failed_copy = copy_name(sources[k][source[k]]);
      ++source[k];
      Result<PieceSource> piece = plan_from(plan_piece, reporter, sources[k], source[k], k);
      if (!piece) return piece.status();
      if (piece->size != ends[k] - job.output_offset) {
        relaid = true;
        return Status::failure("the copies differ in size");
      }
      reporter.warn_line("pullbox: part " + std::to_string(k + 1) + ": the " + failed_copy +
                         " copy failed; the " + copy_name(sources[k][source[k]]) + " copy is taken");
      const std::string label = job.transfer.label;
      checks.expect(k, piece->sha256);
      job.transfer = std::move(piece->transfer);
      job.transfer.local.clear();
      job.transfer.label = label;
      return Status::success();
    };
    checks.attach(jobs[k], k, ends);
  }
  run_transfers(jobs, {run.settings.transfers, true, {}, run.settings.stall_seconds, 250, env.progress}, reporter, env.transfers);
  if (relaid) return Status::failure("the copies differ in size");
  for (size_t k = 0; k < jobs.size(); ++k) {
    const TransferJob& job = jobs[k];
    if (job.outcome == TransferJob::Outcome::unprepared) return job.why;
    if (!job.done()) {
      reporter.say_line(download_failure(job));
      return Status::failure(failure_with_cause(job));
    }
    // A piece is only good with the size its node reported.
    if (job.passed_bytes != ends[k] - job.output_offset) {
      reporter.say_line("download error");
      return Status::failure("a piece did not arrive with the size its node reported");
    }
  }
  if (!joined.finish(fn_out)) {
    reporter.detail(format_text("\nError: can't write %s\n", fn_out.c_str()));
    return Status::failure("can't write " + fn_out);
  }
  return Status::success();
}

}  // namespace

int query_port_of(const Settings& settings, const std::string& port_text) {
  const int64_t port = to_int(port_text);
  const int64_t used = port >= settings.init_port && port <= settings.init_port + 4
                           ? port
                           : port - settings.init_port_p + settings.init_port;
  return used >= 1 && used <= 65535 ? static_cast<int>(used) : 0;
}

Status read_command(Run& run, RunEnv& env, const std::string& id, const std::string& fn_read,
                    const std::string& fn_out) {
  const Settings& s = run.settings;
  Reporter& reporter = env.reporter;
  if (check_account_id(s, id) == 0) return Status::failure("incorrect account id");
  if (fn_read.size() > fn_read_limit) {
    reporter.detail_line("Incorrect lenght of file name in nodes");
    return Status::failure("the stored name is too long");
  }
  if (fn_out.size() > fn_out_limit) {
    reporter.detail_line("Incorrect lenght of local file name");
    return Status::failure("the local name is too long");
  }
  if (Status refused = out_refusal(fn_out, {}); !refused) return refused;
  if (!list_readable()) {
    // A list that cannot be written is the cause to tell, not the file
    // missing from it.
    if (Status fetched = get_list(run.nconf, id, s, env); !fetched && !list_readable()) {
      reporter.say_line("No file name in the list");
      reporter.flush();
      return fetched;
    }
  }
  // The selection stays in memory: two runs in one folder share no file.
  // A refused line is said as it always was; the other details are not.
  reporter.flush();
  ConsoleReporter refusals(false);
  const Result<Lines> selection = read_selection(list_name, fn_read, refusals);
  if (!selection) {
    reporter.say_line("No file name in the list");
    return Status::failure("the file is not in the list");
  }
  // An empty selection is no file either: joining nothing would empty fn_out.
  if (selection->empty()) {
    reporter.say_line("No file in id-account to download");
    return Status::failure("no stored copy of the file in the list");
  }
  int missing = -1;
  const std::vector<std::string> lines = pieces_of(*selection, missing);
  std::vector<size_t> source(lines.size(), 0);
  bool relaid = false;
  Status result = download_pieces(run, env, lines, missing, id, fn_out, source, relaid);
  if (relaid) {
    reporter.warn_line("pullbox: " + fn_out + ": a copy of another size is taken: the file is fetched again");
    relaid = false;
    result = download_pieces(run, env, lines, missing, id, fn_out, source, relaid);
  }
  if (result.ok()) reporter.say("End download. SUCCESS!\n");
  std::remove(list_name);
  reporter.flush();
  return result;
}

}  // namespace morbs::pullbox
