// One planned transfer as a value: which way, which node and copy, where on
// the node (URL and login), and which local file it reads or writes. The
// planning builds it; the engine hands it to the transfer runner as it is.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace morbs {

enum class Direction { upload, download };

// The two copies of every stored file or part; "ORG=0" and "ORG=1" in lists.
enum class Copy { basic, second };
std::string_view copy_text(Copy copy);  // "basic", "second"
std::string_view org_text(Copy copy);   // "0", "1"

// The two storage areas of a node.
enum class Area { accounts, accounts1 };
std::string_view area_text(Area area);  // "accounts", "accounts1"
std::optional<Area> area_of(std::string_view text);

struct Transfer {
  Direction direction = Direction::download;
  Copy copy = Copy::basic;
  std::string url;    // sftp://address:port/home/user/MORBS-SYSTEM/MORB<sn>/...
  std::string login;  // user ":" password
  // Upload: the file sent, whole; empty: a range of an open file (the
  // engine job's input). Download: the file written, made anew; empty: a
  // region of an open file (the job's output). Names are taken literally.
  std::string local;
  bool progress = true;  // shown on the run's progress; otherwise quiet, errors still told
  std::string label;     // what a finished-transfer line names
};

// Where a transfer goes: "sftp://address:port" and the login. Transfers
// to one place share the run's connection there.
std::string place_of(const Transfer& transfer);

// The SFTP user when a node's login text holds no ":".
inline constexpr std::string_view default_sftp_user = "usr";

}  // namespace morbs
