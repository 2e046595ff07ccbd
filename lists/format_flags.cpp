#include "lists/format_flags.h"

#include <string_view>

namespace morbs {

namespace {
struct Shown {
  std::string_view stored;
  std::string_view shown;
};
constexpr Shown flags[] = {
    {"ishere", "REPO"}, {"archiv", "ARCH"}, {"delete", "DELT"}, {"locked", "LOCK"}};
constexpr Shown copies[] = {{"0", "BC"}, {"1", "SC"}};

template <size_t N>
void show(std::string& value, const Shown (&table)[N]) {
  for (const Shown& s : table)
    if (value == s.stored) {
      value = s.shown;
      return;
    }
}
}  // namespace

void format_flags(std::string& flag, std::string& copy) {
  show(flag, flags);
  show(copy, copies);
}

}  // namespace morbs
