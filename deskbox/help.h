#pragma once

namespace morbs::deskbox {

// "deskbox --help": what deskbox does and how it is started, on standard
// output; returns the exit status, 0.
int print_all_forms();

}  // namespace morbs::deskbox
