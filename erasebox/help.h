#pragma once

#include "core/report/reporter.h"

namespace morbs::erasebox {

// The help text, 50 lines.
void help(Reporter& reporter);

// The line after it: where every form of this version is told.
void point_to_all_forms(Reporter& reporter);

// "erasebox --help": every form erasebox takes, on standard output; returns
// the exit status, 0.
int print_all_forms();

}  // namespace morbs::erasebox
