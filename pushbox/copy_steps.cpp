#include "pushbox/copy_steps.h"
#include "pushbox/upload.h"

#include <fstream>

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
