#pragma once

namespace morbs::gatekeep {

// Every form gatekeep takes, on standard output: its answer to "--help" and
// to a command line it does not take.
void print_all_forms();

}  // namespace morbs::gatekeep
