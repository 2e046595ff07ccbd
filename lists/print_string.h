// One record of a view: shown, or kept for a file a program reads.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/report/reporter.h"

namespace morbs {

// Emits the record of one list line by the view mode, from the display date,
// copy and flag (`formatting_date`, `format_flags`) and the stored file name,
// cut to "prefix:fname" when it names a part (exactly two colons):
//
//   mode            flags taken          emits
//   "all_save"      all                  keeps DATE=d&FLAG=c-f&FN=n&
//   "get_save"      REPO, ARCH, LOCK     keeps DATE=d&FN=n&
//   "unlocked_save" REPO                 keeps DATE=d&FN=n&
//   "all_print"     all                  says " d  c-f  n\n"
//   "get_print"     REPO, ARCH, LOCK     prints as "all_print"
//   "del_print"     DELT                 prints as "all_print"
//   "loc_print"     LOCK                 prints as "all_print"
//   "arc_print"     ARCH                 prints as "all_print"
//   "rep_print"     REPO                 prints as "all_print"
//   any other       none                 nothing
//
// A shown record has its control characters shown as "?"; a kept record is
// appended to `kept` as it is. True when a record was emitted, false when
// the mode takes nothing of this flag.
bool print_string(std::string_view mode, std::string_view date, std::string_view copy,
                  std::string_view flag, std::string_view stored_name, Reporter& reporter,
                  std::vector<std::string>* kept = nullptr);

// True for the modes that save instead of printing.
bool is_saving_mode(std::string_view mode);

}  // namespace morbs
