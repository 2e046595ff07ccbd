// The lines that register one stored copy in a node's files list and
// archive list. Only the exact copy text "basic" means the basic copy.
#pragma once

#include <string_view>

#include "transfer/curl_table.h"

namespace morbs {

// 0 written into slot `row`; -1 when the row is out of range or the line
// would pass 255 characters (the slot is then "null": nothing half-built
// is ever registered).
int do_list_files(TransferTable& curl_table, int row, std::string_view id, std::string_view stored_name,
                  std::string_view uid32, std::string_view copy, int port,
                  std::string_view area);
int do_list_archi(TransferTable& curl_table, int row, std::string_view id, std::string_view stored_name,
                  std::string_view copy, int port, std::string_view area);

}  // namespace morbs
