#include "pullbox/list_commands.h"

#include <cstdio>

#include "lists/print_list.h"
#include "lists/scratch_files.h"
#include "lists/sorting_list.h"
#include "pullbox/get_list.h"

namespace morbs::pullbox {

namespace {

constexpr size_t list_name_limit = 79;

std::string type_or_default(const std::string& type) {
  for (const char* known : {"IN_ARCHI", "DELETED", "LOCKED"})
    if (type == known) return type;
  return "IN_REPO";
}

bool is_copy_name(const std::string& copy) { return copy == "BASIC" || copy == "SECOND" || copy == "BOTH"; }

std::string date_or_all(const std::string& date) {
  return date.size() >= 4 && date.size() <= 8 ? date : "all";
}

}  // namespace

void list_command(Run& run, RunEnv& env, const std::string& id) {
  std::remove(list_name);
  if (check_account_id(run.settings, id) == 0) return;
  (void)get_list(run.nconf, id, run.settings, env);
}

void ls_sorted_command() {
  if (sorting_list(list_name) == -1) return;
  print_list(tmp_list, "ALL", "BOTH", "all", "all_print");
  std::remove(tmp_list);
}

void ls_command(const Run& run, const std::string& list, const std::string& type, const std::string& copy,
                const std::string& date) {
  const std::string name = list.size() <= list_name_limit ? list : list_name;
  if (!is_copy_name(copy)) {
    if (run.settings.test == 1) std::puts("Incorrect type of copy [BASIC/SECOND/BOTH]");
    return;
  }
  if (print_list(name, type_or_default(type), copy, date_or_all(date), "all_print") == -1 &&
      run.settings.test == 1)
    std::printf("\nError: can't open %s\n", list.c_str());
}

}  // namespace morbs::pullbox
