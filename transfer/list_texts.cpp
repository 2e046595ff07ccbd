#include "transfer/list_texts.h"

#include <cerrno>

#include "platform/file_region.h"
#include "platform/regular_file.h"
#include "transfer/engine.h"

namespace morbs {

Result<std::vector<ListText>> fetch_list_texts(const std::vector<Transfer>& lists, const Settings& settings,
                                               RunEnv& env) {
  std::vector<platform::FileDescriptor> files;
  std::vector<TransferJob> jobs;
  for (const Transfer& list : lists) {
    files.push_back(platform::create_nameless_file("."));
    if (!files.back())
      return Status::failure("no scratch file for a list in the working directory: " + platform::cause_of(errno));
    TransferJob job;
    job.transfer = list;
    job.output_fd = files.back().get();
    jobs.push_back(std::move(job));
  }
  run_transfers(jobs, {settings.transfers, false, {}, settings.stall_seconds, 250, env.progress}, env.reporter, env.transfers);
  std::vector<ListText> texts;
  for (size_t n = 0; n < jobs.size(); ++n) {
    ListText got;
    if (jobs[n].done()) got.text = platform::read_from_start(files[n].get());
    if (!got.text) got.failure = download_failure(jobs[n]);
    texts.push_back(std::move(got));
  }
  return texts;
}

}  // namespace morbs
