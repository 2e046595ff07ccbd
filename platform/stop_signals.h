// How a long-running service learns that it should stop: SIGTERM or SIGINT
// set one flag its loops watch, and a peer that hangs up (SIGPIPE) never
// kills it.
#pragma once

#include <atomic>

namespace morbs::platform {

// Installs the handlers once; the flag turns true on the first stop signal.
const std::atomic<bool>& stop_on_signals();

}  // namespace morbs::platform
