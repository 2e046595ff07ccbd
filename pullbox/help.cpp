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

void print_pointer_to_all_forms() { std::puts("Every form of this version: pullbox --help"); }

int print_all_forms() {
  std::fputs(
      "usage: pullbox -list ID\n"
      "       pullbox -ls [LIST TYPE COPY DATE]\n"
      "       pullbox -rd ID STORED OUT [STORED OUT]...\n"
      "       pullbox -check ID [-deep]\n"
      "       pullbox -h | --help | --version\n"
      "  Fetches the file list of the account ID (11 characters), shows it, fetches\n"
      "  stored files and checks that each is stored twice; run in the working\n"
      "  directory that holds client.config and crt.tmp.\n"
      "  -list ID           gathers the lists of every node that answers into list.q\n"
      "  -ls                shows every file of list.q, newest first\n"
      "  -ls LIST TYPE COPY DATE\n"
      "                     shows the lines of the list LIST as they stand: TYPE\n"
      "                     IN_REPO, IN_ARCHI, DELETED or LOCKED; COPY BASIC, SECOND\n"
      "                     or BOTH; DATE a year, month or day (2026, 202612,\n"
      "                     20261210) or all\n"
      "  -rd ID STORED OUT  fetches the stored file STORED (prefix:fname, as list.q\n"
      "                     names it) into the local file OUT; several STORED OUT\n"
      "                     pairs are fetched in one run\n"
      "  -check ID          asks each node about every copy of the account and names\n"
      "                     each file not stored twice; -deep also downloads every\n"
      "                     copy and compares its digest\n"
      "  -h                 the system's help text\n"
      "  Exit status: 0 done (-check: every file fully redundant); 1 not done (a line\n"
      "  on standard error says why); 2 a client.config value out of range.\n"
      "  See pullbox(1) and client.config(5).\n",
      stdout);
  return 0;
}

}  // namespace morbs::pullbox
