// The views of list.q that the tasks show, prepared into tmp_list.q by the
// list code; an empty view leaves no tmp_list.q.
#pragma once

namespace morbs::deskbox {

enum class View {
  listing_all,  // every copy, with its flag
  read,         // what can be downloaded
  lock,         // what can be deleted or locked: stored, not locked
  unlock,       // the locked files
};

void prepare_view(View view);

}  // namespace morbs::deskbox
