#include "pullbox/get_list.h"

#include <cstdio>
#include <vector>

#include "lists/scratch_files.h"
#include "platform/file_region.h"
#include "transfer/engine.h"
#include "transfer/read_planning.h"

namespace morbs::pullbox {

namespace {

// The lists' texts in order; a failure's text when one could not be fetched.
Result<std::vector<std::string>> fetch_lists(const std::vector<Transfer>& lists, const Settings& settings,
                                             Reporter& reporter) {
  std::vector<platform::FileDescriptor> files;
  std::vector<TransferJob> jobs;
  for (const Transfer& list : lists) {
    files.push_back(platform::create_nameless_file("."));
    if (!files.back()) return Status::failure("no scratch file for a list");
    TransferJob job;
    job.transfer = list;
    job.output_fd = files.back().get();
    jobs.push_back(std::move(job));
  }
  run_transfers(jobs, {settings.transfers, true, {}}, reporter);
  if (const TransferJob* failed = first_failure(jobs)) return Status::failure(download_failure(*failed));
  std::vector<std::string> texts;
  for (const platform::FileDescriptor& file : files) {
    std::optional<std::string> text = platform::read_from_start(file.get());
    if (!text) return Status::failure("a fetched list cannot be read");
    texts.push_back(std::move(*text));
  }
  return texts;
}

}  // namespace

Status get_list(NodeTable& nconf, std::string_view id, const Settings& settings, Reporter& reporter) {
  Result<std::vector<Transfer>> lists =
      init_list_files_read(nconf, id, settings.ip_addr, settings.init_port, settings.connection_wait(), reporter);
  if (!lists) return lists.status();
  Result<std::vector<std::string>> texts = fetch_lists(*lists, settings, reporter);
  if (!texts) return texts.status();
  if (texts->empty()) {
    reporter.say_line("Error: no files_list");
    return Status::failure("no files_list");
  }
  std::FILE* out = std::fopen(list_name, "ab");
  bool written = out != nullptr;
  for (size_t n = 0; n < texts->size() && written; ++n) {
    std::string& text = (*texts)[n];
    if (!text.empty() && text.back() != '\n') text += '\n';
    written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  }
  if (out) written = std::fclose(out) == 0 && written;
  if (!written) {
    reporter.detail_line("Error: can't open list.q for write");
    return Status::failure("can't open list.q for write");
  }
  return Status::success();
}

}  // namespace morbs::pullbox
