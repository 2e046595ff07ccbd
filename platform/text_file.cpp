#include "platform/text_file.h"

#include <cstdio>
#include <fstream>

namespace morbs::platform {

std::optional<std::vector<std::string>> read_lines(const std::string& path) {
  if (!is_regular_file(path)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(std::move(line));
  if (in.bad()) return std::nullopt;
  return lines;
}

bool append_line(const std::string& path, std::string_view line) {
  std::FILE* f = std::fopen(path.c_str(), "a");
  if (!f) return false;
  bool written = std::fwrite(line.data(), 1, line.size(), f) == line.size() && std::fputc('\n', f) != EOF;
  written = std::fclose(f) == 0 && written;
  return written;
}

bool write_lines(const std::string& path, const std::vector<std::string>& lines) {
  const std::string aside = path + ".part";
  // A leftover of that name, a FIFO above all, would hold or mislead the
  // write: it goes first.
  remove_file(aside);
  {
    std::ofstream out(aside, std::ios::binary | std::ios::trunc);
    for (const std::string& line : lines) out << line << '\n';
    out.close();  // a full disk shows only here
    if (!out) {
      remove_file(aside);
      return false;
    }
  }
  if (std::rename(aside.c_str(), path.c_str()) != 0) {
    remove_file(aside);
    return false;
  }
  return true;
}

}  // namespace morbs::platform
