#include "pushbox/copy_steps.h"
#include "pushbox/upload.h"

#include <array>
#include <fstream>

#include "core/wire/exchange_tasks.h"
#include "transfer/registration_lines.h"

namespace morbs::pushbox {

void note_failed_upload(const std::string& fname_input) {
  std::ofstream out(upload_errors_file, std::ios::app | std::ios::binary);
  if (out) out << fname_input << '\n';
}

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

namespace {

struct Registration {
  const std::string& line;
  const std::string& sha256;  // of the copy it registers
  const char* failure;
  int order;  // in the order of one after another
};

// The four lines of part k: per copy, its list line then its archive line.
std::array<std::array<Registration, 2>, 2> chains_of(const TransferTable& t, int k) {
  const PlannedCopy& basic = *t.basic[k];
  const PlannedCopy& second = *t.second[k];
  return {{{{{basic.list_line, basic.sent_sha256, "Error: basic write to listfiles %d\n", 0},
             {basic.archive_line, basic.sent_sha256, "Error: basic write to listARCHI %d\n", 2}}},
           {{{second.list_line, second.sent_sha256, "Error: second write to listfiles %d\n", 1},
             {second.archive_line, second.sent_sha256, "Error: second write to listARCHI %d\n", 3}}}}};
}

}  // namespace

Status register_part_together(const TransferTable& t, int k, NodeExchange& exchange, const Settings& settings,
                              Reporter& reporter, ListedDigestNotice& notice, const char*& failure) {
  const auto chains = chains_of(t, k);
  struct Failed {
    Status why = Status::success();
    const Registration* at = nullptr;
  } failed[2];
  run_exchange_tasks(2, 2, exchange, reporter, [&](size_t c, NodeExchange& asked, Reporter& told) {
    for (const Registration& r : chains[c]) {
      Status s = register_line_with_digest(asked, settings.ip_addr, r.line, r.sha256, told, notice);
      if (!s) {
        failed[c] = {s, &r};
        return;
      }
    }
  });
  // The failure told is the one that would have come first one after another.
  const Failed* first = nullptr;
  for (const Failed& f : failed)
    if (f.at && (!first || f.at->order < first->at->order)) first = &f;
  if (!first) return Status::success();
  failure = first->at->failure;
  return first->why;
}

std::vector<TransferJob> part_jobs(const TransferTable& table, int source, const std::string& label_end,
                                   Reporter& reporter) {
  std::vector<TransferJob> jobs;
  int64_t offset = 0;
  for (int k = 0; k < table.part_count; ++k) {
    const int64_t size = table.size_of_part(k);
    for (Copy copy : {Copy::basic, Copy::second}) {
      TransferJob job;
      job.transfer = table.of(copy, k)->transfer;
      job.transfer.local.clear();  // from the range
      job.transfer.label = std::string(copy_text(copy)) + " copy of part " + std::to_string(k) + label_end;
      job.input = {source, offset, size};
      if (copy == Copy::basic) {
        job.prepare = [&reporter, k, size](TransferJob&) {
          reporter.say(" File part: " + std::to_string(k) + " size: " + std::to_string(size) + "\n");
          return Status::success();
        };
      }
      jobs.push_back(std::move(job));
    }
    offset += size;
  }
  return jobs;
}

}  // namespace morbs::pushbox
