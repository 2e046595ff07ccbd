#pragma once

namespace morbs::pullbox {

// The help text, 35 lines.
void print_help();

}  // namespace morbs::pullbox
