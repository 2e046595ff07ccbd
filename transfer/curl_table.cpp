#include "transfer/curl_table.h"

namespace morbs {

void init_table(TransferTable& curl_table) {
  TransferTable t;
  for (Slots* slots : {&t.basic_entries, &t.second_entries, &t.basic_list_lines,
                       &t.second_list_lines, &t.basic_archive_lines, &t.second_archive_lines})
    slots->fill("null");
  curl_table = t;
}

}  // namespace morbs
