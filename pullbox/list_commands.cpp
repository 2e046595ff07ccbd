#include "pullbox/list_commands.h"

#include "lists/print_list.h"
#include "lists/sorting_list.h"
#include "lists/work_files.h"
#include "platform/regular_file.h"
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

Status list_command(Run& run, RunEnv& env, const std::string& id) {
  platform::remove_file(list_name);
  if (check_account_id(run.settings, id) == 0) return Status::failure("incorrect account id");
  return get_list(run.nconf, id, run.settings, env);
}

Status ls_sorted_command(Reporter& reporter) {
  Result<Lines> sorted = sorting_list(list_name, reporter);
  if (!sorted) return sorted.status();
  (void)view_of(*sorted, tmp_list, {"ALL"}, "all_print", reporter);
  return Status::success();
}

Status ls_command(Reporter& reporter, const std::string& list, const std::string& type,
                  const std::string& copy, const std::string& date) {
  const std::string name = list.size() <= list_name_limit ? list : list_name;
  if (!is_copy_name(copy)) {
    reporter.detail_line("Incorrect type of copy [BASIC/SECOND/BOTH]");
    return Status::failure("no such copy: " + copy);
  }
  if (!print_list(name, {type_or_default(type), copy, date_or_all(date)}, "all_print", reporter)) {
    reporter.detail(format_text("\nError: can't open %s\n", list.c_str()));
    return Status::failure("can't open " + list);
  }
  return Status::success();
}

}  // namespace morbs::pullbox
