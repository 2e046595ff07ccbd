#include "pullbox/get_list.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "core/wire/query_string.h"
#include "lists/scratch_files.h"
#include "platform/regular_file.h"
#include "transfer/concurrent_transfers.h"
#include "transfer/curl_runner.h"
#include "transfer/read_planning.h"

namespace morbs::pullbox {

namespace {

struct Planned {
  const char* copy;
  int row;
};

// The planned entries in the order their local names count: row by row,
// basic before second.
std::vector<Planned> planned_lists(const TransferTable& curl_table) {
  std::vector<Planned> planned;
  for (int row = 0; row < node_count; ++row) {
    if (curl_table.basic_entries[row] != "null") planned.push_back({"basic", row});
    if (curl_table.second_entries[row] != "null") planned.push_back({"second", row});
  }
  return planned;
}

// Fetches the planned lists, one after another or up to `transfers` at once.
int fetch_lists(const TransferTable& curl_table, int& count, std::string& message, int verbose,
                int transfers) {
  const std::vector<Planned> planned = planned_lists(curl_table);
  count = 0;
  if (transfers <= 1) {
    for (const Planned& p : planned) {
      ++count;
      if (curl_read(curl_table, p.copy, p.row, message, verbose) != 0) return -1;
    }
    return 0;
  }
  std::vector<TransferJob> jobs;
  for (const Planned& p : planned) {
    jobs.push_back(download_job(curl_table, p.copy, p.row));
    jobs.back().label = std::string("list of node ") + std::to_string(p.row + 1) + " (" + p.copy + ")";
  }
  run_transfers(jobs, transfers, download_attempt_line, verbose, true);
  count = static_cast<int>(jobs.size());
  message = empty_slot;
  for (const TransferJob& job : jobs) {
    if (job.result == 0) continue;
    message = download_failure(job.not_started);
    return -1;
  }
  return 0;
}

// The whole text of a fetched list; false when there is none.
bool read_whole(const std::string& path, std::string& text) {
  if (!platform::is_regular_file(path)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  text = s.str();
  return true;
}

}  // namespace

int get_list(TransferTable& curl_table, NodeTable& nconf, std::string_view id, std::string_view address,
             int base_port, std::string& message, int verbose, ConnectionWait wait, int transfers) {
  if (init_list_files_read(curl_table, nconf, id, address, base_port, message, verbose, wait) != 0) return -1;
  int count = 0;
  if (fetch_lists(curl_table, count, message, verbose, transfers) != 0) return -1;
  if (count == 0) {
    std::puts("Error: no files_list");
    return -1;
  }
  std::FILE* out = std::fopen(list_name, "ab");
  if (!out) {
    if (verbose == 1) std::puts("Error: can't open list.q for write");
    return -1;
  }
  bool written = true;
  for (int n = 0; n < count && written; ++n) {
    const std::string name = "list" + std::to_string(n);
    std::string text;
    if (!read_whole(name, text)) continue;
    if (!text.empty() && text.back() != '\n') text += '\n';
    written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    // A list that did not reach list.q stays for a look.
    if (written) std::remove(name.c_str());
  }
  written = std::fclose(out) == 0 && written;
  if (!written && verbose == 1) std::puts("Error: can't open list.q for write");
  return written ? 0 : -1;
}

}  // namespace morbs::pullbox
