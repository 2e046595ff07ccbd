#include "pullbox/help.h"

#include <cstdio>

namespace morbs::pullbox {

void print_help() {
  static const char* const lines[] = {
      "                          --- HELP ---\n",
      "                          --- LIST ---\n",
      " (1)  Get all files_list from nodes & show the list",
      "      pullbox [-list] [id]",
      "        id - account id (11 chars)\n",
      " (2)  List files on the list",
      "      pullbox [-ls] [list name] [type] [copy] [date]",
      "        list name - list of file with uploaded list",
      "        type:",
      "           IN_REPO \t- files stored in REPO",
      "           IN_ARCHI\t- files stored in ARCHI",
      "           DELETED\t- all deleted files in REPO",
      "           LOCKED\t\t- files blocked in REPO",
      "        copy:",
      "           BASIC - basic copy",
      "           SECOND - second copy",
      "        date format:",
      "           numerical year, year+month, year*month+day",
      "           all - list all date",
      "      examples:\n",
      "        pullbox -ls ",
      "           use for default parameters:",
      "              list name: list.q (default name of list)",
      "              type:      IN_REPO (default)",
      "              copy:      BASIC (basic is default)",
      "              date:      all (default)\n",
      "        pullbox -ls list.q LOCKED 1 200705",
      "            (user parameters)n",
      "                        --- READ FILE --- \n",
      " (3) Read file from nodes (singular /matrix-mode)",
      "     pullbox [-rd] [id] [fn_read] [fn_out]",
      "        id \t- account id (11 chars)",
      "        fn_read \t- use form - prefix:fname",
      "        fn_out    - name of file on client's disk\n",
      "                         --- END ---\n",
  };
  static_assert(sizeof lines / sizeof lines[0] == 35);
  for (const char* line : lines) std::puts(line);
}

}  // namespace morbs::pullbox
