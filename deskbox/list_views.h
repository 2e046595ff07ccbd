// The views of list.q that the tasks show, prepared into tmp_list.q by the
// list code; an empty view leaves no tmp_list.q.
#pragma once

#include "lists/prepare_list.h"

namespace morbs::deskbox {

using View = PreparedView;

void prepare_view(View view);

}  // namespace morbs::deskbox
