#include "pushbox/side_by_side.h"

#include <cstdio>
#include <fstream>
#include <vector>

#include "platform/regular_file.h"
#include "transfer/concurrent_transfers.h"
#include "transfer/curl_runner.h"

namespace pushbox {

namespace {

using morbs::platform::remove_file;

bool all_done(const std::vector<morbs::TransferJob>& jobs) {
  for (const auto& job : jobs)
    if (job.result != 0) return false;
  return true;
}

// As one-by-one: a curl that cannot be started is told, a transfer that
// failed for good leaves the user's path in zz-errors.txt.
int verdict(const std::vector<morbs::TransferJob>& jobs, const std::string& fname_input, int test) {
  if (all_done(jobs)) return 0;
  bool not_started = false;
  for (const auto& job : jobs) not_started = not_started || job.not_started;
  if (not_started) {
    if (test) std::puts("Error: incorrect arguments in the q-string");
  } else {
    morbs::test_write(fname_input);
  }
  return -1;
}

}  // namespace

int send_whole_side_by_side(const morbs::TransferTable& curl_table, const std::string& fname_input,
                            const morbs::Settings& settings) {
  std::vector<morbs::TransferJob> jobs = {morbs::upload_job(curl_table, "basic", 0, fname_input),
                                          morbs::upload_job(curl_table, "second", 0, fname_input)};
  jobs[0].label = "basic copy";
  jobs[1].label = "second copy";
  morbs::run_transfers(jobs, settings.transfers, morbs::upload_attempt_line, settings.test, true);
  return verdict(jobs, fname_input, settings.test);
}

int send_parts_side_by_side(const morbs::TransferTable& curl_table, const std::string& fname_input,
                            const std::string& part_stem, const morbs::Settings& settings) {
  const int n = curl_table.part_count;
  std::vector<std::string> parts;
  auto remove_parts = [&] {
    for (const auto& part : parts) remove_file(part);
  };
  std::ifstream input(fname_input, std::ios::binary);
  if (!input) return -1;
  for (int i = 0; i < n; ++i) {
    const int64_t size = i < n - 1 ? curl_table.part_size : curl_table.last_part_size;
    std::printf(" File part: %d size: %lld\n", i, static_cast<long long>(size));
    parts.push_back(part_stem + std::to_string(i));
    if (morbs::write_block(input, parts.back(), size, settings.test) != 0) {
      remove_parts();
      return -1;
    }
  }
  input.close();

  std::vector<morbs::TransferJob> jobs;
  for (int i = 0; i < n; ++i) {
    for (const char* copy : {"basic", "second"}) {
      jobs.push_back(morbs::upload_job(curl_table, copy, i, parts[static_cast<size_t>(i)]));
      jobs.back().label = std::string(copy) + " copy of part " + std::to_string(i);
    }
  }
  std::vector<int> copies_up(static_cast<size_t>(n), 0);
  morbs::run_transfers(jobs, settings.transfers, morbs::upload_attempt_line, settings.test, true, [&](size_t job) {
    const size_t part = job / 2;
    if (++copies_up[part] == 2) remove_file(parts[part]);
  });
  remove_parts();
  return verdict(jobs, fname_input, settings.test);
}

}  // namespace pushbox
