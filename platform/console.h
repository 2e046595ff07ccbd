// The programs' standard output. Buffered like stdio (it is stdio), so it
// stays in order with what a program prints itself; flushed before a child
// shares the terminal.
#pragma once

#include <string_view>

namespace morbs::platform {

void write_stdout(std::string_view text);
void flush_stdout();
// Standard error, unbuffered: the added lines that say why a run failed.
void write_stderr(std::string_view text);

}  // namespace morbs::platform
