#include "lists/formatting_date.h"

namespace morbs {

namespace {
struct Piece {
  size_t from;
  size_t length;
  const char* separator;  // written before the piece
};
constexpr Piece pieces[] = {{0, 4, ""}, {4, 2, "-"}, {6, 2, "-"}, {9, 8, "  "}};
}  // namespace

std::string formatting_date(std::string_view date) {
  std::string shown;
  for (const Piece& p : pieces) {
    if (p.from >= date.size()) break;
    shown += p.separator;
    shown += date.substr(p.from, p.length);
  }
  return shown;
}

}  // namespace morbs
