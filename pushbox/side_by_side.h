// The transfers of an upload run side by side (client.config TRANSFERS above
// 1). Planning, registration and the clean-ups stay those of the one-by-one
// flow; only the moving of the copies differs.
#pragma once

#include <string>

#include "core/session/settings.h"
#include "transfer/curl_table.h"

namespace pushbox {

// Both copies of a whole file at once. 0 when both are up; -1 after the
// local path was added to zz-errors.txt (once, however many failed).
int send_whole_side_by_side(const morbs::TransferTable& curl_table, const std::string& fname_input,
                            const morbs::Settings& settings);

// Cuts every part first (printing " File part: ..." for each), then sends
// every part copy, at most settings.transfers at a time. A part file goes as
// soon as both of its copies are up; on failure every part file goes. 0 or -1
// (zz-errors.txt as above; a part that cannot be cut adds nothing there).
int send_parts_side_by_side(const morbs::TransferTable& curl_table, const std::string& fname_input,
                            const std::string& part_stem, const morbs::Settings& settings);

}  // namespace pushbox
