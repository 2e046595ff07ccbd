#include "lists/save_file.h"

#include <fstream>

namespace morbs {

int save_file(const std::string& path, std::string_view line) {
  std::ofstream out(path, std::ios::binary | std::ios::app);
  if (!out) return -1;
  out << line;
  if (line.find('\n') == std::string_view::npos) out << '\n';
  out.close();
  return out ? 0 : -1;
}

}  // namespace morbs
