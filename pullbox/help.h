#pragma once

namespace morbs::pullbox {

// The help text, 35 lines.
void print_help();

// The line after it: where every form of this version is told.
void print_pointer_to_all_forms();

// "pullbox --help": every form pullbox takes, on standard output; returns
// the exit status, 0.
int print_all_forms();

}  // namespace morbs::pullbox
