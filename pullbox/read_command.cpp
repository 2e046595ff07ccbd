#include "pullbox/read_command.h"

#include <cstdio>
#include <fstream>

#include "core/number_text.h"
#include "core/query_string.h"
#include "lists/get_q_string_for_read.h"
#include "lists/scratch_files.h"
#include "lists/stored_name.h"
#include "platform/clock.h"
#include "platform/regular_file.h"
#include "pullbox/cat_parts.h"
#include "pullbox/get_list.h"
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

// One piece of the file: planned, fetched into its part file and measured.
// 0, or -1 after whatever the failure prints.
int fetch_piece(Run& run, const std::string& id, const std::string& line, int k, const std::string& fn_out) {
  const Settings& s = run.settings;
  const int port = query_port_of(s, value_of(line, "PORT"));
  const std::string disk = value_of(line, "DISK");
  const std::string copy = value_of(line, "ORG") == "0" ? "basic" : "second";
  const std::string stored = value_of(line, "FN");
  std::printf("NR PART: %d of %s\n", k + 1, fn_out.c_str());
  const std::string part = std::string(part_stem) + "_" + std::to_string(k);
  std::string message;
  if (file_read(run.curl_table, run.nconf, id, s.ip_addr, port, disk, copy, part, stored, message, s.test,
                s.connection_wait()) != 0)
    return -1;
  if (curl_read(run.curl_table, copy, 0, message, s.test) != 0) {
    std::puts(message.c_str());
    return -1;
  }
  // An empty file may arrive as no file at all.
  if (run.curl_table.part_size == 0 && !platform::is_regular_file(part)) std::ofstream(part, std::ios::binary);
  // A piece is only good with the size its node reported.
  if (get_size_local_file(part) != run.curl_table.part_size) {
    std::puts("download error");
    return -1;
  }
  return 0;
}

// The download loop over "tmp_list.q"; 0 when every piece is joined into
// fn_out.
int download_pieces(Run& run, std::ifstream& selection, const std::string& id, const std::string& fn_out) {
  std::string line, first;
  int k = 0;
  for (; std::getline(selection, line); ++k) {
    const std::string stored = value_of(line, "FN");
    if (k == 0) first = stored;
    if (line.size() > list_line_limit || !is_piece(first, stored, k)) {
      std::printf("Part %d of the file is not in the list\n", k + 1);
      return -1;
    }
    if (fetch_piece(run, id, line, k, fn_out) != 0) return -1;
    platform::sleep_microseconds(step_pause_us);
  }
  return cat_parts(part_stem, fn_out, k, run.settings.test);
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
    get_list(run.curl_table, run.nconf, id, s.ip_addr, s.init_port, message, s.test, s.connection_wait());
  }
  std::remove(tmp_list);
  if (get_q_string_for_read(list_name, fn_read) == -1) {
    std::puts("No file name in the list");
    return;
  }
  platform::sleep_microseconds(step_pause_us);
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
