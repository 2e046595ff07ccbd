#include "transfer/read_planning.h"

#include <cstdio>
#include <optional>

#include "core/session/account.h"
#include "core/nodes/node_queries.h"
#include "core/nodes/node_selection.h"
#include "core/wire/number_text.h"
#include "core/wire/op_message.h"
#include "core/wire/query_string.h"
#include "core/wire/wire.h"
#include "transfer/curl_strings.h"

namespace morbs {

namespace {

bool id_has_length(std::string_view id, std::string& message, int verbose) {
  if (id.size() == account_id_length) return true;
  if (verbose == 1) std::puts("Error: id must have 11 chars");
  message = "incorrect id, wrong length";
  return false;
}

void set_download_header(TransferTable& curl_table, int part_count, int64_t part_size) {
  curl_table.mode = "download";
  curl_table.part_count = part_count;
  curl_table.part_size = part_size;
  curl_table.last_part_size = 0;
}

bool is_port(int port) { return port >= 1 && port <= 65535; }

bool is_storage_area(std::string_view disk) { return disk == "accounts" || disk == "accounts1"; }

}  // namespace

int init_list_files_read(TransferTable& curl_table, NodeTable& nconf, std::string_view id,
                         std::string_view address, int base_port, std::string& message, int verbose,
                         ConnectionWait wait) {
  if (!id_has_length(id, message, verbose)) return -1;
  init_table(curl_table);
  test_nodes_for_read(nconf, address, base_port, id, verbose, wait);
  bool any_node = false;
  for (const node_conf& node : nconf) any_node = any_node || node.port > 0;
  if (!any_node) {
    message = "no id-account in the data-network";
    return -1;
  }
  // The local names follow the order in which get_list fetches the
  // entries: row by row, the basic entry before the second.
  int n = 0;
  for (int i = 0; i < node_count; ++i) {
    if (nconf[i].port <= 0) continue;
    if (nconf[i].accounts == "accounts" &&
        do_curl_strings_read_proc(curl_table, nconf, i, i, address, id, "basic", "accounts",
                                  "list" + std::to_string(n), "files_list.q", "silent", verbose) == 0)
      ++n;
    if (nconf[i].accounts1 == "accounts1" &&
        do_curl_strings_read_proc(curl_table, nconf, i, i, address, id, "second", "accounts1",
                                  "list" + std::to_string(n), "files_list.q", "silent", verbose) == 0)
      ++n;
  }
  set_download_header(curl_table, n, 0);
  return 0;
}

int file_read(TransferTable& curl_table, NodeTable& nconf, std::string_view id, std::string_view address,
              int port, std::string_view disk, std::string_view copy, std::string_view part_file,
              std::string_view stored_name, std::string& message, int verbose, ConnectionWait wait) {
  if (!id_has_length(id, message, verbose)) return -1;
  init_table(curl_table);
  init_struct_nconf(nconf, node_count);
  // A port from a list line that no node can have is no node.
  if (is_port(port)) test_one_node(nconf, address, port, verbose, wait);
  if (nconf[0].port < 1) {
    message = "no node";
    return -1;
  }
  // Nothing could be fetched from an area that does not exist; asking the
  // node about it would only send the list line's text on.
  if (!is_storage_area(disk)) {
    message = "incorrect transfer entry";
    return -1;
  }
  get_one_passwd(nconf, address, port, verbose, wait);

  std::string request = "OP=chkfile&ID=" + std::string(id) + "&DISK=" + std::string(disk) +
                        "&PFN=" + std::string(stored_name) + "&";
  // A longer request would reach the node cut, asking about another name.
  if (request.size() >= wire::message_plain_size) {
    message = "incorrect transfer entry";
    return -1;
  }
  if (op_message(address, port, request, verbose, wait) != 0) {
    message = "no connection to the id-account";
    return -1;
  }
  std::string status;
  select_value(request, "STATUS", status);
  if (status != "done") {
    message = "no file in the id-account";
    std::string cp;
    select_value(request, "CP", cp);
    if (verbose == 1) std::printf("Error: read-file %s\n", cp.c_str());
    return -1;
  }
  std::string fsize_text;
  select_value(request, "FSIZE", fsize_text);
  // An absent or non-numeric size reads as 0; the part that arrives must
  // then be empty, so nothing unchecked ever reaches the user's file.
  const std::optional<int64_t> fsize = to_int64(fsize_text);
  if (!fsize || *fsize < 0) {
    message = "file size is incorrect";
    return -1;
  }
  if (do_curl_strings_read_proc(curl_table, nconf, 0, 0, address, id, copy, disk, part_file, stored_name,
                                "progress", verbose) != 0) {
    message = "incorrect transfer entry";
    return -1;
  }
  set_download_header(curl_table, 1, *fsize);
  return 0;
}

}  // namespace morbs
