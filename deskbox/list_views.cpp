#include "deskbox/list_views.h"

#include "deskbox/work_files.h"
#include "lists/prepare_list.h"

namespace morbs::deskbox {

// The outcome is not used: whether tmp_list.q is there tells the task what
// to show. The list code's messages reach the terminal as they are.
void prepare_view(View view) {
  ConsoleReporter reporter(false);
  (void)prepare_list(list_file, view, reporter);
}

}  // namespace morbs::deskbox
