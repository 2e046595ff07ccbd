// Where a stored file lives on a node, as the remote end of a transfer: the
// node's SFTP port and login from the node table, and the account's
// directory in one of its areas.
#pragma once

#include <string_view>

#include "core/nodes/node_table.h"
#include "core/report/reporter.h"
#include "core/status.h"
#include "transfer/transfer.h"

namespace morbs {

// A transfer (direction, copy and local file still to be set) of
// `remote_name` in the account `id`, area `area`, under MORB<directory> of
// `node`. Fails, telling why as a detail, when the node gave no SFTP port
// or login or the id is not 11 characters; fails when the name, the port or
// the user could mean anything else in the URL (a "/", "..", "?", "#", "%",
// a blank, a control character...).
Result<Transfer> sftp_transfer(const node_conf& node, int directory, std::string_view address,
                               std::string_view id, Area area, std::string_view remote_name,
                               Reporter& reporter);

}  // namespace morbs
