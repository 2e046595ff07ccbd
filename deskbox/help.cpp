#include "deskbox/help.h"

#include <cstdio>

namespace morbs::deskbox {

int print_all_forms() {
  std::fputs(
      "usage: deskbox\n"
      "       deskbox --help | --version\n"
      "  The task frame: writes the session certificate with gatekeep -local, asks\n"
      "  through promptwin for the account and a task (write, listing, read, delete,\n"
      "  lock, unlock) and runs pushbox, pullbox and erasebox for it, all found on\n"
      "  PATH, in the working directory (downloads go to TEMP/).\n"
      "  Only one deskbox runs on a machine at a time: a second one ends at once\n"
      "  (the lock /tmp/KORVEX.lock; MORBS_LOCK_DIR moves it).\n"
      "  Exit status: 1 for an empty account answer or when promptwin cannot be\n"
      "  started; else 0 (an empty task, a second deskbox, no session certificate).\n"
      "  See deskbox(1) and promptwin(1).\n",
      stdout);
  return 0;
}

}  // namespace morbs::deskbox
