#include "pushbox/upload.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "core/nodes/node_selection.h"
#include "core/nodes/node_table.h"
#include "platform/file_region.h"
#include "platform/process.h"
#include "platform/regular_file.h"
#include "pushbox/copy_steps.h"
#include "transfer/copy_check.h"
#include "transfer/disaster_journal.h"
#include "transfer/engine.h"
#include "transfer/registration_lines.h"
#include "transfer/write_planning.h"

namespace morbs::pushbox {

namespace {

using morbs::Reporter;
using morbs::Settings;
using morbs::Status;
using morbs::platform::remove_file;

struct Flow {
  const UploadRequest& upload;
  const Settings& settings;
  Reporter& reporter;
  morbs::NodeExchange& exchange;
  morbs::TransferRunner& transfers;
  morbs::ProgressView* progress;
  morbs::TransferTable curl_table;
  std::optional<morbs::DisasterJournal> journal;
  morbs::ListedDigestNotice digest_notice{"pushbox"};
};

// Gives the reservations back; the journal goes only when that worked.
Status release(Flow& f) { return f.journal->release(f.exchange, f.reporter); }

// A planning that failed may have reserved space before it stopped; its
// journal names what to give back.
Status planning_failed(Flow& f, const Status& why) {
  f.reporter.say(" " + why.why() + "\n");
  if (f.journal && f.journal->exists()) (void)release(f);
  return why;
}

// A file that changed under its copies is given back, whatever the
// transfers said: what went up is neither version of it.
Status changed_or(Flow& f, Status why) {
  if (Status same = unchanged(f.upload); !same) {
    (void)release(f);
    return same;
  }
  if (!why) (void)release(f);
  return why;
}

Status upload_singular(Flow& f) {
  f.reporter.say("\n Upload in singular-mode\n\n");
  std::vector<morbs::TransferJob> jobs(2);
  jobs[0].transfer = f.curl_table.basic[0]->transfer;
  jobs[0].transfer.label = "basic copy";
  jobs[1].transfer = f.curl_table.second[0]->transfer;
  jobs[1].transfer.label = "second copy";
  morbs::UploadChecks checks(f.exchange, f.settings.ip_addr, f.reporter);
  jobs[0].verify = checks.hook(*f.curl_table.basic[0]);
  jobs[1].verify = checks.hook(*f.curl_table.second[0]);
  const bool sent = morbs::run_transfers(jobs, {f.settings.transfers, true, {}, f.settings.stall_seconds, 250, f.progress},
                                         f.reporter, f.transfers);
  if (Status s = changed_or(f, sent ? Status::success() : transfers_failed(jobs, f.upload.fname_input, f.reporter));
      !s)
    return s;
  const char* failure = nullptr;
  if (Status s = register_part(f.curl_table, 0, f.exchange, f.settings, f.reporter, f.digest_notice, failure); !s) {
    (void)release(f);
    return s;
  }
  f.journal->remove();
  f.reporter.say("\n End upload in singualar-mode. SUCCESS!\n\n");
  return Status::success();
}

// Every part goes straight from the user's file, as both copies, each
// checked on its node before it counts as up.
Status send_parts(Flow& f, int source) {
  std::vector<morbs::TransferJob> jobs = part_jobs(f.curl_table, source, "", f.reporter);
  morbs::UploadChecks checks(f.exchange, f.settings.ip_addr, f.reporter);
  for (size_t j = 0; j < jobs.size(); ++j) {
    const morbs::Copy copy = j % 2 == 0 ? morbs::Copy::basic : morbs::Copy::second;
    jobs[j].verify = checks.hook(*f.curl_table.of(copy, static_cast<int>(j / 2)));
  }
  const morbs::EngineOptions options{f.settings.transfers, true, {}, f.settings.stall_seconds, 250, f.progress};
  if (morbs::run_transfers(jobs, options, f.reporter, f.transfers)) return Status::success();
  return transfers_failed(jobs, f.upload.fname_input, f.reporter);
}

Status upload_matrix(Flow& f) {
  // The parts go from the file held since the start, not from whatever the
  // path names by now.
  const morbs::platform::FileDescriptor opened =
      f.upload.source ? morbs::platform::FileDescriptor() : morbs::platform::open_for_reading(f.upload.fname_input);
  const int input = f.upload.source ? f.upload.source->fd() : opened.get();
  if (input < 0) {
    Status kept = release(f);
    if (!kept) return kept;
    f.reporter.say("can't open input file for upload to data-network\n");
    return Status::failure("can't open input file for upload to data-network");
  }
  const int n = f.curl_table.part_count;
  f.reporter.say(morbs::format_text("\n Upload in matrix-mode, nr nodes: %d\n\n", n));
  if (Status s = changed_or(f, send_parts(f, input)); !s) return s;
  for (int k = 0; k < n; ++k) {
    const char* failure = nullptr;
    if (Status s = register_part(f.curl_table, k, f.exchange, f.settings, f.reporter, f.digest_notice, failure); !s) {
      if (Status kept = release(f); !kept) return s;
      f.reporter.detail(morbs::format_text(failure, k));
      return s;
    }
  }
  f.journal->remove();
  f.reporter.say("\n End upload in matrix-mode. SUCCESS!\n\n");
  return Status::success();
}

}  // namespace

int64_t get_size_local_file(const std::string& path) {
  if (!morbs::platform::is_regular_file(path)) return -1;
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return -1;
  auto end = file.tellg();
  return end < 0 ? -1 : static_cast<int64_t>(end);
}

Status unchanged(const UploadRequest& upload) {
  if (upload.source && upload.source->changed()) return Status::failure(changed_while_stored);
  return Status::success();
}

void remove_parts_of_ended_runs() {
  namespace fs = std::filesystem;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(".", error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(part_file_stem, 0) != 0) continue;
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) continue;
    const std::string tag = name.substr(dot + 1);
    if (tag.empty() || tag.find_first_not_of("0123456789") != std::string::npos || tag.size() > 9) continue;
    if (!morbs::platform::process_exists(std::stoi(tag)) && morbs::platform::is_regular_file(name))
      remove_file(name);
  }
}

Status upload(const UploadRequest& upload, bool matrix, const Settings& settings, const std::string& uid32,
              morbs::RunEnv& env) {
  Flow f{upload, settings, env.reporter, env.exchange, env.transfers, env.progress, {}, {}};
  Reporter& reporter = env.reporter;
  morbs::NodeTable nconf;
  morbs::permut_rec permut;
  const morbs::UploadOrder order{uid32,       upload.id,        upload.fname_input,          upload.name,
                                 upload.size, settings.ip_addr, settings.init_port, &env.exchange};
  const Status planned =
      matrix ? morbs::do_strings_write_matrix_mode(f.curl_table, nconf, permut, f.journal, order, reporter)
             : morbs::do_strings_write_singular_mode(f.curl_table, nconf, f.journal, order, reporter);
  if (!planned) return planning_failed(f, planned);
  return matrix ? upload_matrix(f) : upload_singular(f);
}

}  // namespace morbs::pushbox
