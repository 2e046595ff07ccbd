#include <cstdio>

#include "deskbox/children.h"
#include "deskbox/list_views.h"
#include "deskbox/prepared_list.h"
#include "deskbox/tasks.h"
#include "deskbox/work_files.h"
#include "platform/terminal.h"

namespace morbs::deskbox {

void fetch_list(const std::string& id) {
  remove_file(list_file);
  run_child({"pullbox", "-list", id});
  platform::clear_terminal();
  remove_file(scratch_file);
}

bool task_list(const std::string& id) {
  fetch_list(id);
  if (!file_exists(list_file)) {
    show_info(text_account_empty);
    say_failed("no list of the account: pullbox -list wrote no list.q");
    return false;
  }
  prepare_view(View::listing_all);
  if (!file_exists(prepared_list_file)) {
    show_info(text_account_empty);
    return false;
  }
  if (!rewrite_prepared_list(true).created) {
    show_info(text_write_problem);
    say_failed("the list to show could not be written to " + scratch_file);
    return false;
  }
  remove_file(prepared_list_file);
  std::rename(scratch_file.c_str(), prepared_list_file.c_str());
  show_task({"--listing", "LIST", prepared_list_file});
  remove_file(scratch_file);
  remove_file(prepared_list_file);
  return true;
}

}  // namespace morbs::deskbox
