#include "lists/prepare_list.h"

#include "lists/print_list.h"
#include "lists/scratch_files.h"
#include "lists/sorting_list.h"

namespace morbs {

namespace {
int prepare(const std::string& list, const std::string& type, const std::string& mode) {
  if (sorting_list(list) != 0) return 0;
  return print_list(tmp_list, type, "BOTH", "all", mode) == 0 ? 1 : 0;
}
}  // namespace

int prepare_list_for_listing_all(const std::string& list) {
  return prepare(list, "ALL", "all_save");
}

int prepare_list_for_read(const std::string& list) { return prepare(list, "ALL", "get_save"); }

int prepare_list_for_lock(const std::string& list) {
  return prepare(list, "IN_REPO", "unlocked_save");
}

int prepare_list_for_unlock(const std::string& list) {
  return prepare(list, "LOCKED", "get_save");
}

}  // namespace morbs
