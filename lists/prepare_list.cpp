#include "lists/prepare_list.h"

#include "lists/print_list.h"
#include "lists/sorting_list.h"
#include "lists/work_files.h"
#include "platform/text_file.h"

namespace morbs {

namespace {

struct ViewForm {
  const char* type;
  const char* mode;
};

ViewForm form_of(PreparedView view) {
  switch (view) {
    case PreparedView::listing_all: return {"ALL", "all_save"};
    case PreparedView::read: return {"ALL", "get_save"};
    case PreparedView::lock: return {"IN_REPO", "unlocked_save"};
    case PreparedView::unlock: return {"LOCKED", "get_save"};
  }
  return {"ALL", "all_save"};
}

}  // namespace

Status prepare_list(const std::string& list, PreparedView view, Reporter& reporter) {
  Result<Lines> sorted = sorting_list(list, reporter);
  if (!sorted) return sorted.status();
  const ViewForm form = form_of(view);
  Result<Lines> records = view_of(*sorted, tmp_list, {form.type}, form.mode, reporter);
  if (!records) return records.status();
  // An empty view is no file: deskbox tests for it.
  platform::remove_file(tmp_list);
  if (records->empty()) return Status::success();
  if (!platform::write_lines(tmp_list, *records)) return Status::failure(std::string("Error: can't write ") + tmp_list);
  return Status::success();
}

}  // namespace morbs
