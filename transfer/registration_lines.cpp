#include "transfer/registration_lines.h"

#include <string>

#include "transfer/curl_table.h"

namespace morbs {

namespace {

bool is_basic(std::string_view copy) { return copy == "basic"; }

int store(std::string& slot, std::string line) {
  if (line.size() > registration_line_limit) {
    slot = "null";
    return -1;
  }
  slot = std::move(line);
  return 0;
}

bool row_in_range(int row) { return row >= 0 && row < node_count; }

}  // namespace

int do_list_files(TransferTable& curl_table, int row, std::string_view id, std::string_view stored_name,
                  std::string_view uid32, std::string_view copy, int port,
                  std::string_view area) {
  if (!row_in_range(row)) return -1;
  std::string line = "OP=listfiles&SUB=add&FN=";
  line.append(stored_name).append("&ID=").append(id).append("&UID32=").append(uid32);
  line.append("&ORG=").append(is_basic(copy) ? "0" : "1");
  line.append("&PORT=").append(std::to_string(port)).append("&DISK=").append(area).append("&");
  Slots& slots = is_basic(copy) ? curl_table.basic_list_lines : curl_table.second_list_lines;
  return store(slots[row], std::move(line));
}

int do_list_archi(TransferTable& curl_table, int row, std::string_view id, std::string_view stored_name,
                  std::string_view copy, int port, std::string_view area) {
  if (!row_in_range(row)) return -1;
  std::string line = "OP=listARCHI&SUB=add&ID=";
  line.append(id).append("&DISK=").append(area).append("&FN=").append(stored_name);
  line.append("&DIRF=auto&ORG=").append(is_basic(copy) ? "0" : "1");
  line.append("&PORT=").append(std::to_string(port)).append("&");
  Slots& slots = is_basic(copy) ? curl_table.basic_archive_lines : curl_table.second_archive_lines;
  return store(slots[row], std::move(line));
}

}  // namespace morbs
