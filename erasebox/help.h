#pragma once

#include "core/report/reporter.h"

namespace morbs::erasebox {

// The help text, 50 lines.
void help(Reporter& reporter);

}  // namespace morbs::erasebox
