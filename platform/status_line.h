// One line at the foot of the terminal on standard error, drawn again and
// again in place (a run's progress). Only ever drawn on a terminal: a log or
// a pipe never receives a carriage return or an escape byte.
#pragma once

#include <string_view>

namespace morbs::platform {

bool standard_error_is_terminal();
// The terminal's width in columns; 80 when it cannot be told.
int terminal_columns();

// Draws `text` over the line shown (cut to the terminal's width).
void draw_status_line(std::string_view text);
// The line shown goes; the cursor is back at its start.
void erase_status_line();
// The line shown stays; the next one starts below it.
void keep_status_line();

}  // namespace morbs::platform
