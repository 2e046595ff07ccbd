// The lines that register one stored copy in a node's files list and
// archive list, as the node's query port takes them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/report/reporter.h"
#include "core/wire/node_exchange.h"
#include "core/status.h"
#include "transfer/transfer.h"

namespace morbs {

inline constexpr size_t registration_line_limit = 255;

// Nothing when the line would pass 255 characters: a half-built line is
// never registered.
std::optional<std::string> list_files_line(std::string_view id, std::string_view stored_name,
                                           std::string_view uid32, Copy copy, int port, Area area);
std::optional<std::string> list_archive_line(std::string_view id, std::string_view stored_name, Copy copy,
                                             int port, Area area);

// Sends one prepared list or archive line to the node its PORT names. Ok
// when the node answered STATUS=done; a refusal is told as a detail
// ("Error: RE:  CP").
Status register_line(NodeExchange& exchange, std::string_view address, std::string_view line, Reporter& reporter);

}  // namespace morbs
