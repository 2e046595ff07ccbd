#include "transfer/sftp_place.h"

#include <string>

#include "core/session/account.h"

namespace morbs {

namespace {

std::string user_of(const std::string& passwd) {
  const size_t colon = passwd.find(':');
  return colon == std::string::npos ? std::string(default_sftp_user) : passwd.substr(0, colon);
}

// What may stand in a URL's path as it is and never leaves the account's
// directory: the names this system stores are made of these alone.
bool plain_name(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                       c == '_' || c == ':' || c == '-';
    if (!plain) return false;
  }
  return true;
}

bool digits(std::string_view text) {
  if (text.empty() || text.size() > 5) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
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
  // A name or port from a node or a list is taken only when it can mean
  // nothing but itself in the URL.
  if (!digits(node.port_sftp)) return Status::failure("the node gave an SFTP port that is no number");
  if (!plain_name(remote_name)) return Status::failure("a stored name with characters no stored name has");
  std::string path;
  if (make_path_pesel(id, area_text(area), path) != 0) return refused(reporter, "Error: [curl] id must have 11 char");
  if (node.passwd == "null") return refused(reporter, "Error: [curl] user:passwd is NULL");
  if (!plain_name(user_of(node.passwd))) return Status::failure("the node gave a login with characters no user has");
  Transfer t;
  t.url = "sftp://" + std::string(address) + ":" + node.port_sftp + "/home/" + user_of(node.passwd) +
          "/MORBS-SYSTEM/MORB" + std::to_string(directory) + "/" + path + std::string(remote_name);
  t.login = node.passwd;
  return t;
}

}  // namespace morbs
