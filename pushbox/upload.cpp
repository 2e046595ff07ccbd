#include "pushbox/upload.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "core/nodes/node_selection.h"
#include "core/nodes/node_table.h"
#include "platform/process.h"
#include "platform/regular_file.h"
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

// The file that collects the local paths of uploads that failed for good.
constexpr const char* upload_errors_file = "zz-errors.txt";

void note_failed_upload(const std::string& fname_input) {
  std::ofstream out(upload_errors_file, std::ios::app | std::ios::binary);
  if (out) out << fname_input << '\n';
}

std::string part_file_name(int k) {
  return std::string(part_file_stem) + std::to_string(k) + "." + std::to_string(morbs::platform::own_process_id());
}


// What the engine's failure means for the user: a curl that could not be
// started is told; a transfer that failed for good leaves the user's path
// in zz-errors.txt; a part that could not be cut says so itself.
Status transfers_failed(const std::vector<morbs::TransferJob>& jobs, const std::string& fname_input,
                        Reporter& reporter) {
  const morbs::TransferJob* failed = morbs::first_failure(jobs);
  bool not_started = false, unprepared = false;
  for (const auto& job : jobs) {
    not_started = not_started || job.outcome == morbs::TransferJob::Outcome::not_started;
    unprepared = unprepared || job.outcome == morbs::TransferJob::Outcome::unprepared;
  }
  if (not_started) {
    reporter.detail_line("Error: incorrect arguments in the q-string");
    return Status::failure("curl could not be started");
  }
  if (unprepared) return Status::failure("a part could not be cut from the local file");
  note_failed_upload(fname_input);
  return Status::failure("the transfer of the " + failed->transfer.label + " failed");
}

// The four lines of part k in their order of registration, and what the
// matrix flow tells when one fails.
Status register_part(const morbs::TransferTable& t, int k, morbs::NodeExchange& exchange,
                     const Settings& settings, Reporter& reporter, const char*& failure) {
  struct Registration {
    const std::string& line;
    const char* failure;
  };
  const Registration lines[] = {
      {t.basic[k]->list_line, "Error: basic write to listfiles %d\n"},
      {t.second[k]->list_line, "Error: second write to listfiles %d\n"},
      {t.basic[k]->archive_line, "Error: basic write to listARCHI %d\n"},
      {t.second[k]->archive_line, "Error: second write to listARCHI %d\n"},
  };
  for (const Registration& r : lines) {
    Status s = morbs::register_line(exchange, settings.ip_addr, r.line, reporter);
    if (!s) {
      failure = r.failure;
      return s;
    }
  }
  return Status::success();
}

// Copies exactly `size` bytes from the input's position into a new part
// file. The messages are those of the cutting the system has always done.
Status cut_part(std::ifstream& input, const std::string& part_name, int64_t size, Reporter& reporter) {
  std::ofstream part(part_name, std::ios::binary | std::ios::trunc);
  if (!part) {
    reporter.detail_line("Error: can't open part file for write");
    return Status::failure("can't open part file for write");
  }
  std::error_code ignored;
  std::filesystem::permissions(part_name, std::filesystem::perms(0644), std::filesystem::perm_options::replace,
                               ignored);
  // Larger than a disk block: the parts of a big upload are cut with few calls.
  std::vector<char> block(1 << 20);
  for (int64_t left = size < 0 ? 0 : size; left > 0;) {
    const auto want = static_cast<std::streamsize>(std::min<int64_t>(left, static_cast<int64_t>(block.size())));
    errno = 0;
    input.read(block.data(), want);
    const std::streamsize got = input.gcount();
    if (got > 0 && !part.write(block.data(), got)) {
      reporter.error_detail(morbs::format_text("block_write: %s\n", std::strerror(errno ? errno : EIO)));
      return Status::failure("a part file could not be written");
    }
    left -= got;
    if (got < want) {
      reporter.error_detail(morbs::format_text(
          "block_read: %s\n", errno ? std::strerror(errno) : "the input file ended early"));
      return Status::failure("the local file ended early");
    }
  }
  part.close();
  if (part.fail()) {
    reporter.error_detail(morbs::format_text("block_write: %s\n", std::strerror(errno ? errno : EIO)));
    return Status::failure("a part file could not be written");
  }
  return Status::success();
}

struct Flow {
  const UploadRequest& upload;
  const Settings& settings;
  Reporter& reporter;
  morbs::NodeExchange& exchange;
  morbs::Workers& workers;
  morbs::TransferTable curl_table;
  std::optional<morbs::DisasterJournal> journal;
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

Status upload_singular(Flow& f) {
  f.reporter.say("\n Upload in singular-mode\n\n");
  std::vector<morbs::TransferJob> jobs(2);
  jobs[0].transfer = f.curl_table.basic[0]->transfer;
  jobs[0].transfer.label = "basic copy";
  jobs[1].transfer = f.curl_table.second[0]->transfer;
  jobs[1].transfer.label = "second copy";
  morbs::UploadChecks checks(f.exchange, f.settings.ip_addr, f.reporter);
  jobs[0].verify = checks.hook(f.curl_table.basic[0]->list_line);
  jobs[1].verify = checks.hook(f.curl_table.second[0]->list_line);
  if (!morbs::run_transfers(jobs, {f.settings.transfers, true, {}, f.settings.stall_seconds}, f.reporter, f.workers)) {
    Status why = transfers_failed(jobs, f.upload.fname_input, f.reporter);
    (void)release(f);
    return why;
  }
  const char* failure = nullptr;
  if (Status s = register_part(f.curl_table, 0, f.exchange, f.settings, f.reporter, failure); !s) {
    (void)release(f);
    return s;
  }
  f.journal->remove();
  f.reporter.say("\n End upload in singualar-mode. SUCCESS!\n\n");
  return Status::success();
}

// Every part is cut from the user's file just before its basic copy first
// starts (in order: the cuts follow each other through one stream), sent as
// both copies, and removed as soon as both are up.
Status send_parts(Flow& f, std::ifstream& input) {
  morbs::TransferTable& table = f.curl_table;
  const int n = table.part_count;
  std::vector<std::string> parts;
  for (int k = 0; k < n; ++k) parts.push_back(part_file_name(k));
  std::vector<morbs::TransferJob> jobs;
  morbs::UploadChecks checks(f.exchange, f.settings.ip_addr, f.reporter);
  for (int k = 0; k < n; ++k) {
    for (morbs::Copy copy : {morbs::Copy::basic, morbs::Copy::second}) {
      morbs::TransferJob job;
      job.transfer = table.of(copy, k)->transfer;
      job.transfer.local = parts[static_cast<size_t>(k)];
      job.transfer.label = std::string(morbs::copy_text(copy)) + " copy of part " + std::to_string(k);
      job.verify = checks.hook(table.of(copy, k)->list_line);
      if (copy == morbs::Copy::basic) {
        job.prepare = [&f, &input, &parts, k, size = table.size_of_part(k)](morbs::TransferJob&) {
          f.reporter.say(" File part: " + std::to_string(k) + " size: " + std::to_string(size) + "\n");
          return cut_part(input, parts[static_cast<size_t>(k)], size, f.reporter);
        };
      }
      jobs.push_back(std::move(job));
    }
  }
  std::vector<int> copies_up(static_cast<size_t>(n), 0);
  morbs::EngineOptions options{f.settings.transfers, true, [&](size_t job) {
                                 const size_t part = job / 2;
                                 if (++copies_up[part] == 2) remove_file(parts[part]);
                               },
                               f.settings.stall_seconds};
  const bool sent = morbs::run_transfers(jobs, options, f.reporter, f.workers);
  for (const std::string& part : parts) remove_file(part);
  return sent ? Status::success() : transfers_failed(jobs, f.upload.fname_input, f.reporter);
}

Status upload_matrix(Flow& f) {
  std::ifstream input(f.upload.fname_input, std::ios::binary);
  if (!input) {
    Status kept = release(f);
    if (!kept) return kept;
    f.reporter.say("can't open input file for upload to data-network\n");
    return Status::failure("can't open input file for upload to data-network");
  }
  const int n = f.curl_table.part_count;
  f.reporter.say(morbs::format_text("\n Upload in matrix-mode, nr nodes: %d\n\n", n));
  if (Status s = send_parts(f, input); !s) {
    (void)release(f);
    return s;
  }
  for (int k = 0; k < n; ++k) {
    const char* failure = nullptr;
    if (Status s = register_part(f.curl_table, k, f.exchange, f.settings, f.reporter, failure); !s) {
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
  Flow f{upload, settings, env.reporter, env.exchange, env.workers, {}, {}};
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
