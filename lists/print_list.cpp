#include "lists/print_list.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>

#include "core/wire/number_text.h"
#include "lists/format_flags.h"
#include "lists/formatting_date.h"
#include "lists/list_line.h"
#include "lists/print_string.h"
#include "lists/scratch_files.h"

namespace morbs {

namespace {

constexpr std::string_view every = "all";

struct TypeFlag {
  std::string_view type;
  std::string_view flag;
};
constexpr TypeFlag types[] = {{"IN_REPO", "ishere"},
                              {"IN_ARCHI", "archiv"},
                              {"DELETED", "delete"},
                              {"LOCKED", "locked"},
                              {"ALL", every}};

std::optional<std::string_view> wanted_flag(std::string_view type) {
  for (const TypeFlag& t : types)
    if (t.type == type) return t.flag;
  return std::nullopt;
}

struct Selection {
  std::string_view flag;  // "all" or a CURR value
  std::string_view org;   // "all" or an ORG value
  std::string_view date;  // "all" or a text DATE must hold
};

bool selected(const Selection& s, const std::string& curr, const std::string& org,
              const std::string& date) {
  if (s.flag != every && curr != s.flag) return false;
  if (s.org != every && org != s.org) return false;
  return s.date == every || date.find(s.date) != std::string::npos;
}

// Puts the saved view in the list's place; no saved record, no list.
bool replace_list(const std::string& list) {
  std::error_code error;
  if (std::filesystem::exists(tmp_list_save, error)) {
    std::filesystem::rename(tmp_list_save, list, error);
    return !error;
  }
  std::filesystem::remove(list, error);
  return true;
}

}  // namespace

int print_list(const std::string& list, const std::string& type, const std::string& copy,
               const std::string& date, const std::string& mode) {
  std::optional<std::string_view> flag = wanted_flag(type);
  if (!flag) {
    std::puts("Error: incorrect type file");
    std::puts("Correct types: IN_REPO, IN_ARCHI, DELETED, LOCKED");
    return -1;
  }
  Selection selection{*flag, copy == "BOTH" ? every : copy == "SECOND" ? "1" : "0",
                      to_int(date) != 0 ? std::string_view(date) : every};
  std::ifstream in(list, std::ios::binary);
  if (!in) {
    std::printf("Error: can't open list %s\n", list.c_str());
    return -1;
  }
  const bool saving = is_saving_mode(mode);
  std::error_code ignored;
  // A view file left by an interrupted run is never added to.
  std::ofstream saved;
  if (saving) saved.open(tmp_list_save, std::ios::binary | std::ios::trunc);
  long records = 0;
  std::string line;
  long number = 0;
  while (next_list_line(in, line)) {
    ++number;
    std::string curr = field_of(line, "CURR"), org = field_of(line, "ORG");
    std::string stored_date = field_of(line, "DATE");
    if (!selected(selection, curr, org, stored_date)) continue;
    if (refused_as_too_long(list, number, line)) continue;
    format_flags(curr, org);
    int emitted = print_string(mode, formatting_date(stored_date), org, curr,
                               field_of(line, "FN"), saving ? &saved : nullptr);
    records += emitted > 0 ? 1 : 0;
    if (emitted < 0) {
      std::printf("Error: can't write %s\n", tmp_list_save);
      std::filesystem::remove(tmp_list_save, ignored);
      return -1;
    }
  }
  in.close();
  if (!saving) return 0;
  saved.close();
  if (saved.fail()) {
    std::printf("Error: can't write %s\n", tmp_list_save);
    std::filesystem::remove(tmp_list_save, ignored);
    return -1;
  }
  // An empty view is no file: callers test for it.
  if (records == 0) std::filesystem::remove(tmp_list_save, ignored);
  if (!replace_list(list)) {
    std::printf("Error: can't write %s\n", list.c_str());
    return -1;
  }
  return 0;
}

}  // namespace morbs
