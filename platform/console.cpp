#include "platform/console.h"

#include <cstdio>

namespace morbs::platform {

void write_stdout(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

void flush_stdout() { std::fflush(stdout); }

void write_stderr(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stderr); }

}  // namespace morbs::platform
