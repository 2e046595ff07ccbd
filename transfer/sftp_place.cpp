#include "transfer/sftp_place.h"

#include <string>

#include "core/session/account.h"

namespace morbs {

namespace {

std::string user_of(const std::string& passwd) {
  const size_t colon = passwd.find(':');
  return colon == std::string::npos ? std::string(default_sftp_user) : passwd.substr(0, colon);
}

Status refused(Reporter& reporter, const char* text) {
  reporter.detail_line(text);
  return Status::failure(text);
}

}  // namespace

Result<Transfer> sftp_transfer(const node_conf& node, int directory, std::string_view address,
                               std::string_view id, Area area, std::string_view remote_name,
                               Reporter& reporter) {
  if (node.port_sftp == "null") return refused(reporter, "Error: [curl] port_sft is NULL");
  std::string path;
  if (make_path_pesel(id, area_text(area), path) != 0) return refused(reporter, "Error: [curl] id must have 11 char");
  if (node.passwd == "null") return refused(reporter, "Error: [curl] user:passwd is NULL");
  Transfer t;
  t.url = "sftp://" + std::string(address) + ":" + node.port_sftp + "/home/" + user_of(node.passwd) +
          "/MORBS-SYSTEM/MORB" + std::to_string(directory) + "/" + path + std::string(remote_name);
  t.login = node.passwd;
  return t;
}

}  // namespace morbs
