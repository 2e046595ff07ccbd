// erasebox's own exchange: one list-change request per connection, sent to
// the node that holds the copy.
#pragma once

#include <string>
#include <string_view>

#include "core/report/reporter.h"
#include "erasebox/node_target.h"
#include "platform/tcp_socket.h"

namespace morbs::erasebox {

// How long a node may take to answer once the request is sent.
inline constexpr long reply_wait_us = 5000000;

// The messages of the operations are details: shown with the options that
// end in "test" (the reporter's details_shown()), which also decide that a
// node holding no such file counts as done.

// A connected socket, or one that is not open on failure.
platform::TcpSocket open_socket(const NodeTarget& target, Reporter& reporter);

// True when the node accepted the request.
bool message(platform::TcpSocket& socket, std::string& buffer, std::string_view label, Reporter& reporter);

// True when the change counts as done.
bool chg_flag_in_list_name(const NodeTarget& target, platform::TcpSocket& socket,
                           std::string& buffer, std::string_view new_flag, Reporter& reporter);

// What became of one copy's change.
enum class Change {
  done,         // the node changed the flag (or holds no such file, with diagnostics)
  unreachable,  // no connection to the node
  refused,      // the node did not change it, or did not answer in time
  not_valid,    // the line's values were not sent (flag, id or disk)
};

// mode "lock" or "unlock".
Change lock_unlock_file(const NodeTarget& target, std::string_view mode, Reporter& reporter);

// mode "delete".
Change del_file_directly(const NodeTarget& target, std::string_view mode, Reporter& reporter);

}  // namespace morbs::erasebox
