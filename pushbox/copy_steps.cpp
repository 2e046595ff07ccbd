#include "pushbox/copy_steps.h"
#include "pushbox/upload.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/process.h"
#include "transfer/registration_lines.h"

namespace morbs::pushbox {

void note_failed_upload(const std::string& fname_input) {
  std::ofstream out(upload_errors_file, std::ios::app | std::ios::binary);
  if (out) out << fname_input << '\n';
}

std::string part_file_name(int k, const std::string& file_tag) {
  return std::string(part_file_stem) + std::to_string(k) + file_tag + "." +
         std::to_string(morbs::platform::own_process_id());
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


}  // namespace morbs::pushbox
