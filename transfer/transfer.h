// One planned transfer as a value: which way, which node and copy, where on
// the node (URL and login), and which local file it reads or writes. The
// planning builds it; curl_arguments() is the one place it becomes curl's
// argument vector.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
  // Upload: the file sent; empty: curl's standard input, which the engine
  // feeds from a range of a file. Download: the file written; empty: curl's
  // standard output, which the engine points into a region of a file.
  std::string local;
  bool progress = true;  // curl's progress bar; otherwise quiet, errors still shown
  std::string label;     // what a finished-transfer line names
};

// curl -k --globoff URL --user LOGIN (-T|-o) LOCAL (--progress-bar|-Ss).
// Local names reach curl literally: no globbing, and a file called "-" is
// never taken for standard input or output. `quiet` overrides the bar.
// With `stall_seconds` above 0, an attempt that moves nothing for that long
// ends as failed, and logging in may take twice as long.
std::vector<std::string> curl_arguments(const Transfer& transfer, bool quiet = false, int stall_seconds = 0);

// Where a transfer goes: "sftp://address:port" and the login. Transfers
// with one place can share one connection.
std::string place_of(const Transfer& transfer);

// The text curl writes after each transfer of several carried by one child:
// its index on the command line and its exit code, one line each.
inline constexpr const char* per_transfer_outcome = "%{urlnum} %{exitcode}\n";

// One curl carrying `transfers` (all to one place, each with a named local
// file) one after another over one connection, quiet; after each it writes
// per_transfer_outcome to its standard output. Each transfer's local name
// reaches curl as in curl_arguments.
std::vector<std::string> curl_group_arguments(const std::vector<const Transfer*>& transfers, int stall_seconds = 0);

// The SFTP user when a node's login text holds no ":".
inline constexpr std::string_view default_sftp_user = "usr";

}  // namespace morbs
