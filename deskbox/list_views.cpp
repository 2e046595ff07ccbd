#include "deskbox/list_views.h"

#include "deskbox/work_files.h"
#include "lists/prepare_list.h"

namespace morbs::deskbox {

// The result is not used: whether tmp_list.q is there tells the task what
// to show.
void prepare_view(View view) {
  switch (view) {
    case View::listing_all: prepare_list_for_listing_all(list_file); break;
    case View::read: prepare_list_for_read(list_file); break;
    case View::lock: prepare_list_for_lock(list_file); break;
    case View::unlock: prepare_list_for_unlock(list_file); break;
  }
}

}  // namespace morbs::deskbox
