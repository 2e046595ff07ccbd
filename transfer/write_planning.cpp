#include "transfer/write_planning.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "core/session/account.h"
#include "core/wire/op_message.h"
#include "core/wire/query_string.h"
#include "lists/time_prefix.h"
#include "transfer/curl_strings.h"
#include "transfer/registration_lines.h"
#include "transfer/transliteration.h"

namespace morbs {

namespace {

// The texts that differ between the two modes.
struct ModeTexts {
  const char* no_disk;
  const char* wrong_port;
};
constexpr ModeTexts singular_texts{"no disk for write in singular-mode", "wrong port for write in singular-mode"};
constexpr ModeTexts matrix_texts{"no disk for write in matrix-mode", "wrong port for write in matrix-mode"};

const char* disk_text(int area) {
  if (area == 1) return "accounts";
  if (area == 2) return "accounts1";
  return nullptr;
}

int fail(std::string& message, const char* text) {
  message = text;
  return -1;
}

void remove_file(const std::string& name) {
  std::error_code ignored;
  std::filesystem::remove(name, ignored);
}

// One copy to reserve: where it goes and what it is.
struct Copy {
  int node;
  int area;
  std::string_view copy;  // "basic" or "second"
  int row;                // transfer-table index
  std::string_view fn;
  int64_t size;
};

// The context every reservation of one planning shares.
struct Planning {
  TransferTable& curl_table;
  const NodeTable& nconf;
  const std::string& disaster_fname;
  std::string_view uid32, id, address;
  std::string& message;
  int test;
  ConnectionWait wait;
  ModeTexts texts;
};

// Reserve one copy, record it first in the disaster file, then fill its
// transfer entry (through `build_entry`) and its two registration lines.
int reserve(Planning& p, const Copy& c,
            const std::function<int(std::string_view disk)>& build_entry) {
  const char* disk = disk_text(c.area);
  if (!disk) return fail(p.message, p.texts.no_disk);
  const int port = p.nconf[c.node].port;
  std::string request = "OP=resv&ID=" + std::string(p.id) + "&DISK=" + disk + "&FN=" + std::string(c.fn) +
                        "&FSZ=" + std::to_string(c.size) + "&";
  std::string line = request + "IPADDR=" + std::string(p.address) + "&PORT=" + std::to_string(port) + "&";
  if (write_to_file(p.disaster_fname, line) != 0 && p.test)
    std::printf("ERORR: can't write to %s\n", p.disaster_fname.c_str());
  if (port <= 0) return fail(p.message, p.texts.wrong_port);
  if (op_message(p.address, port, request, p.test, p.wait) != 0)
    return fail(p.message, "connection to data-network is interrupted");
  std::string status;
  select_value(request, "STATUS", status);
  if (status != "done") return fail(p.message, "can't reserve space on disk");
  if (build_entry(disk) != 0) return fail(p.message, "incorect registration in the upload table");
  // A line that does not fit is not registered half-built: the plan fails.
  if (do_list_files(p.curl_table, c.row, p.id, c.fn, p.uid32, c.copy, port, disk) != 0 ||
      do_list_archi(p.curl_table, c.row, p.id, c.fn, c.copy, port, disk) != 0)
    return fail(p.message, "incorect registration in the upload table");
  return 0;
}

// The checks both modes begin with. 0 to go on.
int start_table(TransferTable& curl_table, std::string_view id, std::string_view name, const char* mode,
                std::string& message, int test) {
  init_table(curl_table);
  if (id.size() != account_id_length) {
    if (test) std::puts("Error: id must have 11 chars");
    return fail(message, "incorrect id, wrong lenght");
  }
  curl_table.mode = mode;
  if (name.size() > archive_name_limit) return fail(message, "too long length of file-name-in-archi");
  return 0;
}

}  // namespace

std::string stored_file_name_of(std::string_view name_in_archive) {
  std::string out;
  decode_utf8(name_in_archive, out);
  decode_win(out);
  return out;
}

int do_strings_write_singular_mode(TransferTable& curl_table, NodeTable& nconf,
                                   std::string& disaster_fname, std::string_view uid32,
                                   std::string_view id, std::string_view local_path,
                                   std::string_view name, int64_t size, std::string_view address,
                                   int port, std::string& message, int test, ConnectionWait wait) {
  if (start_table(curl_table, id, name, "upload-singular", message, test) != 0) return -1;
  const std::string fname = stored_file_name_of(name);
  const WritePlaces places = test_write_in_singular_mode(nconf, address, port, size, test, wait);
  if (places.basic_node < 0 || places.second_node < 0)
    return fail(message, "no free space in nodes or nodes are closed");
  std::string prefix;
  if (get_prefix(address, nconf[places.basic_node].port, prefix, test, wait) != 0)
    return fail(message, "connection to data-network is interrupted");
  const std::string fn = prefix + fname;
  disaster_fname = fname + "-singular.disater";
  remove_file(disaster_fname);

  Planning p{curl_table, nconf, disaster_fname, uid32, id, address, message, test, wait, singular_texts};
  const Copy copies[] = {{places.basic_node, places.basic_area, "basic", 0, fn, size},
                         {places.second_node, places.second_area, "second", 0, fn, size}};
  for (const Copy& c : copies) {
    auto entry = [&](std::string_view disk) {
      return do_curl_strings_singular_mode(curl_table, nconf, c.node, address, id, c.copy, disk, local_path,
                                           fn, test);
    };
    if (reserve(p, c, entry) != 0) return -1;
  }
  curl_table.part_count = 2;
  curl_table.part_size = size;
  curl_table.last_part_size = 0;
  return 0;
}

int do_strings_write_matrix_mode(TransferTable& curl_table, NodeTable& nconf, permut_rec& permut,
                                 std::string& disaster_fname, std::string_view uid32,
                                 std::string_view id, std::string_view part_stem,
                                 std::string_view name, int64_t size, std::string_view address,
                                 int port, std::string& message, int test, ConnectionWait wait) {
  if (start_table(curl_table, id, name, "upload-matrix", message, test) != 0) return -1;
  const std::string fname = stored_file_name_of(name);
  test_write_in_matrix_mode(nconf, permut, address, port, size, test, wait);
  const int n = permut.nr;
  if (n < 2 || n > node_count)
    return fail(message, "not enough free space in nodes for write in matrix-mode");
  const int first_port = nconf[permut.node[0]].port;
  if (first_port < 1) {
    if (test) std::puts("ERROR: permut struct has no defined port");
    return fail(message, "Data network is not ready for write in matrix-mode");
  }
  std::string prefix;
  if (get_prefix(address, first_port, prefix, test, wait) != 0)
    return fail(message, "connection to data-network is interrupted");
  std::string fn[node_count], part_file[node_count];
  for (int k = 0; k < n; ++k) {
    fn[k] = prefix + fname + ":" + std::to_string(k);
    part_file[k] = std::string(part_stem) + std::to_string(k);
  }
  disaster_fname = fname + "-matrix.disater";
  remove_file(disaster_fname);

  Planning p{curl_table, nconf, disaster_fname, uid32, id, address, message, test, wait, matrix_texts};
  // Part k of copy `copy` on slot `slot`.
  auto place = [&](int k, int slot, std::string_view copy, int64_t part_size) {
    const bool basic = copy == "basic";
    Copy c{basic ? permut.node[slot] : permut.node2[slot], basic ? permut.area[slot] : permut.area2[slot],
           copy, slot, fn[k], part_size};
    auto entry = [&](std::string_view disk) {
      return do_curl_strings_matrix_mode(curl_table, nconf, permut, slot, address, id, copy, disk,
                                         part_file[k], fn[k], test);
    };
    return reserve(p, c, entry);
  };
  for (int k = 0; k < n - 1; ++k)
    if (place(k, k, "basic", permut.part_size) != 0) return -1;
  for (int k = 1; k < n; ++k)
    if (place(k - 1, k, "second", permut.part_size) != 0) return -1;
  if (place(n - 1, n - 1, "basic", permut.last_part_size) != 0) return -1;
  if (place(n - 1, 0, "second", permut.last_part_size) != 0) return -1;

  curl_table.part_count = n;
  curl_table.part_size = permut.part_size;
  curl_table.last_part_size = permut.last_part_size;
  table_ordering_martix_write(curl_table);
  return 0;
}

void table_ordering_martix_write(TransferTable& curl_table) {
  const int n = std::min(curl_table.part_count, node_count);
  for (int i = 0; i < n; ++i) {
    std::string part;
    select_value(curl_table.basic_entries[i], "ST8", part);
    for (int j = 0; j < n; ++j) {
      if (j == i) continue;
      std::string other;
      select_value(curl_table.second_entries[j], "ST8", other);
      if (other != part) continue;
      std::swap(curl_table.second_entries[i], curl_table.second_entries[j]);
      std::swap(curl_table.second_list_lines[i], curl_table.second_list_lines[j]);
      std::swap(curl_table.second_archive_lines[i], curl_table.second_archive_lines[j]);
      break;
    }
  }
}

}  // namespace morbs
