#pragma once

namespace morbs::pushbox {

// "pushbox --help": every form pushbox takes, on standard output; returns
// the exit status, 0.
int print_all_forms();

}  // namespace morbs::pushbox
