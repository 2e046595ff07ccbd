#include "transfer/curl_strings.h"

#include <cstdio>
#include <optional>

#include "core/session/account.h"
#include "core/nodes/node_selection.h"
#include "core/nodes/node_table.h"
#include "core/wire/number_text.h"
#include "transfer/curl_table.h"

namespace morbs {

namespace {

enum class Copy { basic, second };

std::optional<Copy> copy_of(std::string_view name) {
  if (name == "basic" || name == "BASIC") return Copy::basic;
  if (name == "second" || name == "SECOND") return Copy::second;
  return std::nullopt;
}

bool valid_slot(int i) { return i >= 0 && i < node_count; }

std::string user_of(const std::string& passwd) {
  size_t colon = passwd.find(':');
  return colon == std::string::npos ? std::string(default_sftp_user) : passwd.substr(0, colon);
}

void say(int test, const char* text) {
  if (test) std::puts(text);
}

struct Transfer {
  std::string_view flag;  // "-T" upload, "-o" download
  std::string_view progress;
};

// Steps common to the three builders, from the URL to the written entry.
int build(TransferTable& curl_table, const node_conf& node, int directory, std::optional<Copy> copy, int entry,
          std::string_view address, std::string_view id, std::string_view disk,
          std::string_view local_name, std::string_view remote_name, Transfer transfer, int test) {
  std::string url = "sftp://" + std::string(address) + ":";
  if (node.port_sftp == "null") {
    say(test, "Error: [curl] port_sft is NULL");
    return -1;
  }
  url += node.port_sftp + "/home/" + user_of(node.passwd) + "/MORBS-SYSTEM/MORB" +
         std::to_string(directory) + "/";
  std::string path;
  if (make_path_pesel(id, disk, path) != 0) {
    say(test, "Error: [curl] id must have 11 char");
    return -1;
  }
  url += path;
  url += remote_name;
  if (node.passwd == "null") {
    say(test, "Error: [curl] user:passwd is NULL");
    return -1;
  }
  if (!copy || !valid_slot(entry)) return -1;
  std::string text = "ST1=/bin/curl&ST2=curl&ST3=-k&ST4=" + url + "&ST5=--user&ST6=" + node.passwd +
                     "&ST7=" + std::string(transfer.flag) + "&ST8=" + std::string(local_name) +
                     "&ST9=" + std::string(transfer.progress) + "&";
  if (text.size() > transfer_entry_limit) return -1;  // refused, never cut
  (*copy == Copy::basic ? curl_table.basic_entries : curl_table.second_entries)[entry] = text;
  return 0;
}

}  // namespace

int do_curl_strings_singular_mode(TransferTable& curl_table, const NodeTable& nconf, int node, std::string_view address, std::string_view id,
                                  std::string_view copy, std::string_view disk,
                                  std::string_view local_name, std::string_view remote_name,
                                  int test) {
  if (!valid_slot(node)) return -1;
  return build(curl_table, nconf[node], node + 1, copy_of(copy), 0, address, id, disk, local_name, remote_name,
               {"-T", "--progress-bar"}, test);
}

int do_curl_strings_matrix_mode(TransferTable& curl_table, const NodeTable& nconf,
                                const permut_rec& permut, int part, std::string_view address, std::string_view id,
                                std::string_view copy, std::string_view disk,
                                std::string_view local_name, std::string_view remote_name,
                                int test) {
  auto which = copy_of(copy);
  if (!which || !valid_slot(part)) return -1;
  const int node = which == Copy::basic ? permut.node[part] : permut.node2[part];
  if (!valid_slot(node)) return -1;
  return build(curl_table, nconf[node], to_int(nconf[node].sn), which, part, address, id, disk, local_name,
               remote_name, {"-T", "--progress-bar"}, test);
}

int do_curl_strings_read_proc(TransferTable& curl_table, const NodeTable& nconf, int node, int entry, std::string_view address, std::string_view id,
                              std::string_view copy, std::string_view disk,
                              std::string_view local_name, std::string_view remote_name,
                              std::string_view mode, int test) {
  if (!valid_slot(node)) return -1;
  return build(curl_table, nconf[node], to_int(nconf[node].sn), copy_of(copy), entry, address, id, disk,
               local_name, remote_name, {"-o", mode == "silent" ? "-Ss" : "--progress-bar"}, test);
}

}  // namespace morbs
