// One record of a view: printed, or saved to "tmp_list_save.q".
#pragma once

#include <ostream>
#include <string>
#include <string_view>

namespace morbs {

// Emits the record of one list line by the view mode, from the display date,
// copy and flag (`formatting_date`, `format_flags`) and the stored file name,
// cut to "prefix:fname" when it names a part (exactly two colons):
//
//   mode            flags taken          emits
//   "all_save"      all                  saves DATE=d&FLAG=c-f&FN=n&
//   "get_save"      REPO, ARCH, LOCK     saves DATE=d&FN=n&
//   "unlocked_save" REPO                 saves DATE=d&FN=n&
//   "all_print"     all                  prints " d  c-f  n\n"
//   "get_print"     REPO, ARCH, LOCK     prints as "all_print"
//   "del_print"     DELT                 prints as "all_print"
//   "loc_print"     LOCK                 prints as "all_print"
//   "arc_print"     ARCH                 prints as "all_print"
//   "rep_print"     REPO                 prints as "all_print"
//   any other       none                 nothing
//
// Saving appends one line to "tmp_list_save.q" with `save_file`, or to
// `save_to` when given: a view of many records keeps its file open.
// 1 when a record was emitted, 0 when the mode takes nothing of this flag,
// -1 when the record could not be saved.
int print_string(std::string_view mode, std::string_view date, std::string_view copy,
                 std::string_view flag, std::string_view stored_name,
                 std::ostream* save_to = nullptr);

// True for the modes that save instead of printing.
bool is_saving_mode(std::string_view mode);

}  // namespace morbs
