// The node table: what the nodes said about themselves in this run.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace morbs {

inline constexpr int node_count = 4;

struct node_conf {
  std::string sn = "null";          // liveness answer; "NULL" when no SN came
  int port = 0;                     // query port, set when SN came
  std::string accounts = "null";    // first storage area: "accounts" when usable
  std::string accounts1 = "null";   // second storage area: "accounts1" when usable
  int64_t space = -1;               // free bytes in the first area
  int64_t space1 = -1;              // free bytes in the second area
  std::string passwd = "null";      // SFTP login: user ":" password
  std::string port_sftp = "null";   // SFTP port as text
};

// Widths of the node's texts; a longer value is refused.
inline constexpr size_t sn_limit = 7;
inline constexpr size_t accounts_limit = 19;
inline constexpr size_t accounts1_limit = 23;
inline constexpr size_t passwd_limit = 199;
inline constexpr size_t port_sftp_limit = 23;

// What a run learnt of the nodes, rebuilt for every planned transfer. A run
// owns its table (named `nconf` by convention) and hands it to whatever
// asks or reads the nodes.
using NodeTable = std::array<node_conf, node_count>;

void init_struct_nconf(NodeTable& nconf, int count);

// A node counts as present when it answered at all.
inline bool node_present(const node_conf& n) { return n.sn != "null"; }

}  // namespace morbs
