// Disaster files: every reservation an upload makes is written to one before
// its request goes out, so that an interrupted upload can be undone. A line is
// the reservation request followed by "IPADDR=" address "&PORT=" port "&".
#pragma once

#include <string>
#include <string_view>

#include "core/session/settings.h"

namespace pushbox {

// Any file whose name holds this is a disaster file.
inline constexpr std::string_view disaster_marker = ".disater";
// The longest line a disaster file may hold.
inline constexpr size_t disaster_line_limit = 511;

// Sends, for every line, "OP=listfiles&SUB=chg&DISK=..&FN=..&ID=..&CURRNEW=delete&"
// to the node the line names: the request that gives a reservation back. The
// node's reply is not examined. 0 when every line was sent (also when the file
// cannot be opened); -1 at the first malformed line or unreachable node, after
// which the whole file must be kept.
int free_reserved_space_after_disater(const std::string& path, int test, morbs::ConnectionWait wait = {});

// Releases every disaster file of the current directory and removes each one
// whose release succeeded. The number of disaster files found.
int check_disaster_files(int test, morbs::ConnectionWait wait = {});

// Sends one prepared list or archive line to the node its PORT names.
// 1 when the node answered STATUS=done; 0 otherwise, with `message` set when
// the line has no port or the node could not be reached.
int add_list_files_archi(std::string_view address, std::string_view line, std::string& message, int test,
                         morbs::ConnectionWait wait = {});

}  // namespace pushbox
