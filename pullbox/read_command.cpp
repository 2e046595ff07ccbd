#include "pullbox/read_command.h"

#include <cstdio>
#include <fstream>
#include <vector>

#include "core/wire/number_text.h"
#include "core/wire/query_string.h"
#include "lists/get_q_string_for_read.h"
#include "lists/scratch_files.h"
#include "lists/stored_name.h"
#include "platform/clock.h"
#include "platform/regular_file.h"
#include "pullbox/cat_parts.h"
#include "pullbox/get_list.h"
#include "pullbox/joined_file.h"
#include "transfer/concurrent_transfers.h"
#include "transfer/curl_runner.h"
#include "transfer/read_planning.h"

namespace morbs::pullbox {

namespace {

constexpr size_t fn_read_limit = 256;
constexpr size_t fn_out_limit = 1024;
constexpr const char* part_stem = "tmp_part";
constexpr long step_pause_us = 10000;

std::string value_of(const std::string& line, std::string_view key) {
  std::string v;
  select_value(line, key, v);
  return v;
}

bool list_readable() {
  if (!platform::is_regular_file(list_name)) return false;
  return static_cast<bool>(std::ifstream(list_name));
}

// The name piece k must have: the one name of a whole file, or the part
// name of the same upload with postfix k. The selection matches names as
// substrings, so two uploads of one name, or a part missing from the list,
// would otherwise join into a wrong file.
bool is_piece(const std::string& first, const std::string& stored, int k) {
  if (is_whole_file(first)) return k == 0 && stored == first;
  const std::string base = first.substr(0, first.rfind(':') + 1);
  return stored == base + std::to_string(k);
}

// Where piece k arrives and how large its node says it is.
struct Piece {
  std::string part;
  int64_t size = 0;
};

// Asks the node of piece k for it (file_read), leaving its download in entry
// 0 of `copy`. 0, or -1 after printing nothing (file_read told the user).
int plan_piece(Run& run, const std::string& id, const std::string& line, int k, const std::string& fn_out,
               std::string& copy, Piece& piece) {
  const Settings& s = run.settings;
  const int port = query_port_of(s, value_of(line, "PORT"));
  const std::string disk = value_of(line, "DISK");
  copy = value_of(line, "ORG") == "0" ? "basic" : "second";
  const std::string stored = value_of(line, "FN");
  std::printf("NR PART: %d of %s\n", k + 1, fn_out.c_str());
  piece.part = std::string(part_stem) + "_" + std::to_string(k);
  std::string message;
  if (file_read(run.curl_table, run.nconf, id, s.ip_addr, port, disk, copy, piece.part, stored, message, s.test,
                s.connection_wait()) != 0)
    return -1;
  piece.size = run.curl_table.part_size;
  return 0;
}

// A piece is only good with the size its node reported.
int check_piece(const Piece& piece) {
  // An empty file may arrive as no file at all.
  if (piece.size == 0 && !platform::is_regular_file(piece.part)) std::ofstream(piece.part, std::ios::binary);
  if (get_size_local_file(piece.part) != piece.size) {
    std::puts("download error");
    return -1;
  }
  return 0;
}

// The lines of the selection up to the first that is not piece k of the
// first one's upload; `missing` is that k, or -1 when every line is a piece.
std::vector<std::string> read_selection(std::ifstream& selection, int& missing) {
  std::vector<std::string> lines;
  std::string line, first;
  missing = -1;
  for (int k = 0; std::getline(selection, line); ++k) {
    const std::string stored = value_of(line, "FN");
    if (k == 0) first = stored;
    if (line.size() > list_line_limit || !is_piece(first, stored, k)) {
      missing = k;
      break;
    }
    lines.push_back(line);
  }
  return lines;
}

int tell_missing(int k) {
  std::printf("Part %d of the file is not in the list\n", k + 1);
  return -1;
}

// One piece after another, each planned, fetched and measured in turn.
// A piece missing from the list is found when its turn comes.
int download_one_by_one(Run& run, const std::vector<std::string>& lines, int missing, const std::string& id,
                        const std::string& fn_out) {
  for (size_t k = 0; k < lines.size(); ++k) {
    std::string copy;
    Piece piece;
    if (plan_piece(run, id, lines[k], static_cast<int>(k), fn_out, copy, piece) != 0) return -1;
    std::string message;
    if (curl_read(run.curl_table, copy, 0, message, run.settings.test) != 0) {
      std::puts(message.c_str());
      return -1;
    }
    if (check_piece(piece) != 0) return -1;
    platform::sleep_microseconds(step_pause_us);
  }
  return missing < 0 ? 0 : tell_missing(missing);
}

// Up to TRANSFERS pieces fetched at once, each with its own attempts,
// straight into its own region of the file that becomes fn_out: no part
// files, no joining afterwards. Each piece is checked on its node just before
// its transfer starts, so the questions for the later pieces overlap the
// first transfers. A piece missing from the list stops it before anything is
// fetched.
int download_side_by_side(Run& run, const std::vector<std::string>& lines, int missing, const std::string& id,
                          const std::string& fn_out) {
  if (missing >= 0) return tell_missing(missing);
  const int test = run.settings.test;
  JoinedFile joined;
  if (!joined.create(fn_out)) {
    if (test == 1) std::puts("\nError: can't open file for write");
    return -1;
  }
  std::vector<TransferJob> jobs(lines.size());
  std::vector<int64_t> ends(lines.size());
  int64_t offset = 0;  // where the next piece starts: pieces are made in order
  for (size_t k = 0; k < lines.size(); ++k) {
    jobs[k].prepare = [&, k](TransferJob& job) {
      std::string copy;
      Piece piece;
      if (plan_piece(run, id, lines[k], static_cast<int>(k), fn_out, copy, piece) != 0) return false;
      const int region = joined.region_at(offset);
      if (region < 0) {
        if (test == 1) std::puts("\nError: can't open file for write");
        return false;
      }
      // Field by field: this function is the job's own `prepare`.
      TransferJob made = download_job_at(run.curl_table, copy, 0, region, offset);
      job.argv = std::move(made.argv);
      job.output_fd = made.output_fd;
      job.output_offset = made.output_offset;
      job.label = "part " + std::to_string(k + 1);
      offset += piece.size;
      ends[k] = offset;
      return true;
    };
  }
  run_transfers(jobs, run.settings.transfers, download_attempt_line, test, true);
  for (size_t k = 0; k < jobs.size(); ++k) {
    if (jobs[k].unprepared) return -1;
    if (jobs[k].result != 0) {
      std::puts(download_failure(jobs[k].not_started));
      return -1;
    }
    // A piece is only good with the size its node reported.
    if (!JoinedFile::filled_to(jobs[k].output_fd, ends[k])) {
      std::puts("download error");
      return -1;
    }
  }
  if (!joined.finish(fn_out)) {
    if (test == 1) std::printf("\nError: can't write %s\n", fn_out.c_str());
    return -1;
  }
  return 0;
}

// The download of every piece in "tmp_list.q"; 0 when they are joined into
// fn_out.
int download_pieces(Run& run, std::ifstream& selection, const std::string& id, const std::string& fn_out) {
  int missing = -1;
  const std::vector<std::string> lines = read_selection(selection, missing);
  if (run.settings.transfers > 1) return download_side_by_side(run, lines, missing, id, fn_out);
  if (download_one_by_one(run, lines, missing, id, fn_out) != 0) return -1;
  return cat_parts(part_stem, fn_out, static_cast<int>(lines.size()), run.settings.test);
}

}  // namespace

int query_port_of(const Settings& settings, const std::string& port_text) {
  const int64_t port = to_int(port_text);
  const int64_t used = port >= settings.init_port && port <= settings.init_port + 4
                           ? port
                           : port - settings.init_port_p + settings.init_port;
  return used >= 1 && used <= 65535 ? static_cast<int>(used) : 0;
}

void read_command(Run& run, const std::string& id, const std::string& fn_read, const std::string& fn_out) {
  const Settings& s = run.settings;
  if (check_account_id(s, id) == 0) return;
  if (fn_read.size() > fn_read_limit) {
    if (s.test == 1) std::puts("Incorrect lenght of file name in nodes");
    return;
  }
  if (fn_out.size() > fn_out_limit) {
    if (s.test == 1) std::puts("Incorrect lenght of local file name");
    return;
  }
  if (!list_readable()) {
    std::string message;
    get_list(run.curl_table, run.nconf, id, s.ip_addr, s.init_port, message, s.test, s.connection_wait(),
             s.transfers);
  }
  std::remove(tmp_list);
  if (get_q_string_for_read(list_name, fn_read) == -1) {
    std::puts("No file name in the list");
    return;
  }
  // The pause of the one-at-a-time download; side by side has no use for it.
  if (s.transfers <= 1) platform::sleep_microseconds(step_pause_us);
  std::ifstream selection;
  if (platform::is_regular_file(tmp_list)) selection.open(tmp_list);
  // An empty selection is no file either: joining nothing would empty fn_out.
  if (!selection || selection.peek() == std::ifstream::traits_type::eof()) {
    std::puts("No file in id-account to download");
    return;
  }
  const int result = download_pieces(run, selection, id, fn_out);
  selection.close();
  if (result == 0) std::printf("End download. SUCCESS!\n");
  std::remove(tmp_list);
  std::remove(list_name);
}

}  // namespace morbs::pullbox
