#pragma once

namespace morbs::erasebox {

// The help text, 50 lines.
void help();

}  // namespace morbs::erasebox
