// Download, delete, lock and unlock share their steps: fetch the list, show
// the files the task can act on, and run the child for the chosen files:
// erasebox once per file, pullbox once for all the files to download.
#include <cstdio>
#include <filesystem>
#include <vector>

#include "core/report/terminal_text.h"
#include "deskbox/child_runs.h"
#include "deskbox/children.h"
#include "deskbox/list_views.h"
#include "deskbox/prepared_list.h"
#include "deskbox/selection_line.h"
#include "deskbox/tasks.h"
#include "deskbox/work_files.h"
#include "platform/text_file.h"

namespace morbs::deskbox {

namespace {

struct ChooseTask {
  View view;
  const std::string& empty_text;
  const char* list_kind;
  // The child's command up to the chosen files, and one file's arguments.
  std::vector<std::string> (*head)(const std::string& id);
  std::vector<std::string> (*file_arguments)(const StoredSelection& chosen);
  bool download;  // also: all the chosen files in one run
};

std::vector<std::string> read_head(const std::string& id) { return {"pullbox", "-rd", id}; }
std::vector<std::string> download_arguments(const StoredSelection& chosen) {
  return {chosen.stored_name, download_dir + "/" + chosen.user_name};
}
std::vector<std::string> delete_head(const std::string&) { return {"erasebox", "-dtest"}; }
std::vector<std::string> lock_head(const std::string&) { return {"erasebox", "-ltest"}; }
std::vector<std::string> unlock_head(const std::string&) { return {"erasebox", "-utest"}; }
std::vector<std::string> stored_name(const StoredSelection& chosen) { return {chosen.stored_name}; }

// The argument vectors for the chosen files: one per file, or as few as the
// system allows when the child takes many files (a download's output name
// is never taken twice in one run).
std::vector<std::vector<std::string>> child_runs(const ChooseTask& task, ChildRuns runs) {
  if (task.download) {
    runs.distinct_argument = 1;
    return plan_child_runs(runs, argument_space());
  }
  std::vector<std::vector<std::string>> one_each;
  for (const auto& file : runs.files) {
    one_each.push_back(runs.head);
    one_each.back().insert(one_each.back().end(), file.begin(), file.end());
  }
  return one_each;
}

void run_choose_task(const std::string& id, const ChooseTask& task) {
  fetch_list(id);
  if (!file_exists(list_file)) {
    show_info(text_account_empty);
    say_failed("no list of the account: pullbox -list wrote no list.q");
    return;
  }
  prepare_view(task.view);
  if (!file_exists(prepared_list_file)) {
    show_info(task.empty_text);
    return;
  }
  const Rewritten rewritten = rewrite_prepared_list(false);
  if (!rewritten.created) {
    show_info(text_write_problem);
    say_failed("the list to choose from could not be written to " + scratch_file);
    return;
  }
  if (rewritten.lines == 0) {
    show_info(task.empty_text);
    return;
  }
  remove_file(prepared_list_file);
  std::rename(scratch_file.c_str(), prepared_list_file.c_str());
  show_task({"--list", task.list_kind, prepared_list_file});
  if (task.download) {
    std::error_code ignored;  // an existing directory is used as it is
    std::filesystem::create_directory(download_dir, ignored);
  }
  // Only a regular file is an answer: a FIFO named "tmp" would hold deskbox.
  const std::optional<std::vector<std::string>> chosen = platform::read_lines(scratch_file);
  if (!chosen) {
    show_info(text_nothing_chosen);
    return;
  }
  // The console stays visible on this platform: nothing to restore.
  // list.q stays while the children run: erasebox finds the copies in it.
  ChildRuns runs{task.head(id), {}};
  for (const std::string& shown : *chosen) {
    // The dialog answers with a line as shown; the file is the one it stands for.
    const std::optional<std::string> line = rewritten.real_line(shown);
    auto selection = line && line->size() <= selection_line_limit ? parse_selection_line(*line) : std::nullopt;
    if (!selection) {
      std::printf(" No stored file name in the chosen line, skipped: %.300s\n", shown_on_terminal(shown).c_str());
      continue;
    }
    runs.files.push_back(task.file_arguments(*selection));
  }
  for (const std::vector<std::string>& argv : child_runs(task, std::move(runs))) run_child(argv);
  remove_file(scratch_file);
  remove_file(list_file);
  remove_file(prepared_list_file);
  pause_milliseconds(2000);
}

}  // namespace

void task_read(const std::string& id) {
  run_choose_task(id, {View::read, text_account_empty, "READ", read_head, download_arguments, true});
}
void task_delete(const std::string& id) {
  run_choose_task(id, {View::lock, text_account_empty, "DELETE", delete_head, stored_name, false});
}
void task_lock(const std::string& id) {
  run_choose_task(id, {View::lock, text_account_empty, "LOCK", lock_head, stored_name, false});
}
void task_unlock(const std::string& id) {
  run_choose_task(id, {View::unlock, text_no_locked_files, "UNLOCK", unlock_head, stored_name, false});
}

}  // namespace morbs::deskbox
