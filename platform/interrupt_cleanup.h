// One unfinished file that goes when the program is interrupted (SIGINT,
// SIGTERM, SIGHUP): a download stopped by Ctrl-C leaves no half-written file
// behind. The signal then takes its usual course. SIGKILL cannot be caught.
#pragma once

#include <string>

namespace morbs::platform {

// Marks `path` for removal on interruption, in place of any file marked
// before; false when the path is too long to keep (it is then not marked).
bool remove_on_interrupt(const std::string& path);
// The file is finished or gone: nothing to remove any more.
void keep_on_interrupt();

}  // namespace morbs::platform
