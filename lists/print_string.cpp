#include "lists/print_string.h"

#include <span>

#include "core/report/terminal_text.h"
#include "lists/stored_name.h"

namespace morbs {

namespace {

enum class Emit { save_with_flag, save, print };

struct Mode {
  std::string_view name;
  Emit emit;
  std::span<const std::string_view> flags;  // empty: every flag
};

constexpr std::string_view kept[] = {"REPO", "ARCH", "LOCK"};
constexpr std::string_view repo[] = {"REPO"};
constexpr std::string_view deleted[] = {"DELT"};
constexpr std::string_view locked[] = {"LOCK"};
constexpr std::string_view archived[] = {"ARCH"};

constexpr Mode modes[] = {
    {"all_save", Emit::save_with_flag, {}},
    {"get_save", Emit::save, kept},
    {"unlocked_save", Emit::save, repo},
    {"all_print", Emit::print, {}},
    {"get_print", Emit::print, kept},
    {"del_print", Emit::print, deleted},
    {"loc_print", Emit::print, locked},
    {"arc_print", Emit::print, archived},
    {"rep_print", Emit::print, repo},
};

const Mode* find_mode(std::string_view name) {
  for (const Mode& m : modes)
    if (m.name == name) return &m;
  return nullptr;
}

bool takes(const Mode& mode, std::string_view flag) {
  if (mode.flags.empty()) return true;
  for (std::string_view f : mode.flags)
    if (f == flag) return true;
  return false;
}

// A part is shown as the file it belongs to.
std::string_view shown_name(std::string_view stored_name) {
  if (!is_part(stored_name)) return stored_name;
  return stored_name.substr(0, stored_name.rfind(':'));
}

}  // namespace

bool is_saving_mode(std::string_view mode) {
  const Mode* m = find_mode(mode);
  return m && m->emit != Emit::print;
}

bool print_string(std::string_view mode_name, std::string_view date, std::string_view copy,
                  std::string_view flag, std::string_view stored_name, Reporter& reporter,
                  std::vector<std::string>* kept) {
  const Mode* mode = find_mode(mode_name);
  if (!mode || !takes(*mode, flag)) return false;
  std::string_view name = shown_name(stored_name);
  std::string record;
  switch (mode->emit) {
    case Emit::print:
      record.append(" ").append(date).append("  ").append(copy).append("-").append(flag);
      record.append("  ").append(name);
      reporter.say(shown_on_terminal(record) + "\n");
      return true;
    case Emit::save_with_flag:
      record.append("DATE=").append(date).append("&FLAG=").append(copy).append("-");
      record.append(flag).append("&FN=").append(name).append("&");
      break;
    case Emit::save:
      record.append("DATE=").append(date).append("&FN=").append(name).append("&");
      break;
  }
  if (kept) kept->push_back(std::move(record));
  return true;
}

}  // namespace morbs
