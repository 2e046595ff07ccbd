#include <cstdio>

#include "deskbox/child_runs.h"
#include "deskbox/children.h"
#include "deskbox/tasks.h"
#include "deskbox/upload_name.h"
#include "deskbox/work_files.h"
#include "platform/text_file.h"
#include "platform/terminal.h"

namespace morbs::deskbox {

namespace {

// Says why a chosen path is not uploaded; false for a path that goes.
bool refused(const std::string& path, const UploadName& upload) {
  switch (upload.refusal) {
    case UploadRefusal::none: return false;
    case UploadRefusal::empty_path: return true;
    case UploadRefusal::name_too_long: std::printf(" Too long name of file !"); return true;
    case UploadRefusal::path_too_long: std::printf(" Too long path of file !"); return true;
    case UploadRefusal::no_name: std::printf(" No name of file in the path: %s\n", path.c_str()); return true;
  }
  return true;
}

}  // namespace

void task_write(const std::string& id) {
  remove_file(scratch_file);
  show_task({"--open"});
  // Only a regular file is an answer: a FIFO named "tmp" would hold deskbox.
  const std::optional<std::vector<std::string>> chosen = platform::read_lines(scratch_file);
  if (!chosen) {
    show_info(text_nothing_to_upload);
    return;
  }
  remove_file(upload_errors_file);
  // The console stays visible on this platform: nothing to restore. It is
  // cleared once, so that the refusals stay in sight above pushbox's lines.
  platform::clear_terminal();
  ChildRuns uploads{{"pushbox", id}, {}};
  for (const std::string& path : *chosen) {
    const UploadName upload = upload_name(path);
    if (refused(path, upload)) continue;
    uploads.files.push_back({path, upload.name});
  }
  // One pushbox run asks the nodes once for all the files it stores.
  for (const std::vector<std::string>& argv : plan_child_runs(uploads, argument_space())) {
    run_child(argv);
    pause_milliseconds(100);
  }
  remove_file(scratch_file);
  pause_milliseconds(2000);
}

}  // namespace morbs::deskbox
