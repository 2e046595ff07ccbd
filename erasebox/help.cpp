#include "erasebox/help.h"

#include <cstdio>

namespace morbs::erasebox {

void help(Reporter& reporter) {
  static const char* const lines[] = {
      "\n                       --- Help ---\n",
      " (1)  Erase the file (all copies in the data network)",
      "      by using the file name from  list_name.q\n",
      " Note: worth to use most current list,",
      "       to update the list use: pullbox [-ls] [id] \n",
      " Example:",
      "       erasebox [-d] [prefix:fname]",
      " Options:",
      "  [-d]    - deletes  all copies of file and sets flag='delete'",
      "            in  list_name.q (in the data network).",
      "            Option [-d] is used after op_write with errors.",
      "  [-a]    - deletes all copies of file and sets flag='archiv'",
      "            in  list_name.q (in the data network);",
      "            Option [-a] is used after cleaning REPO if the file",
      "            remains only in ARCHI.",
      "  [dtest] - works like option [-d] and shows errors;",
      "  [atest] - works like option [-a] and shows errors;\n",
      "  [prefix.fname] - time:fname as in  list_name.q",
      "  Note: file name in  list_name.q has a form:",
      "                prefix:fname:postfix",
      "  Using full name of file (with postfix) isn't necessary.\n\n",
      " (2)  Protection of a file against delete\n",
      "   [-l] - sets blocade  flag 'locked'",
      "   [-u] - removes blocade (flag 'locked' on flag 'ishere'",
      "   [-ltest] - works like option [-l] and prints error",
      "   [-utest] - works like option [-u] and prints error\n'",
      " Example:",
      "       erasebox [-l] [prefix:fname]\n\n",
      "                        ---------------------\n",
      " (info-1)  Flags used in  list_name.q ",
      "           (list of files on client's account in the data network)\n",
      "  'ishere' - a file is stored in REPO",
      "  'archiv' - a file is in ARCHI and has been deleted in REPO",
      "  'delete' - a file has been deleted in REPO without move to ARCHI",
      "  'locked' - a file is protected and can't be erased from REPO\n",
      " (info-2)  Name of file used in  list_name.q in the data network\n ",
      "   The file name in the  list_name.q has a form (obligatorily)",
      "   'prefix:fname' (colon between), where",
      "   'prefix' - is composed of two strings: time (since 1970) + ns",
      "   'fname' - provided by client (at write).",
      "   Sometimes, a file name contains postfix,",
      "   if a file has been saved by use matrix-mode.",
      "   'postfix' - shows number of file part after divide a file,",
      "               when marix-mode was applied.",
      "   Names can have a form: prefix:fname or prefix:fname;postfix\n",
      " (info-3)  Marking a copy of the file in  list_name.q\n ",
      "   Two copies of a file are saved by default in two different nodes.",
      "   A basic copy is marked in  list_name.q by &ORG=0&",
      "   and second copy - &ORG=1&\n\n",
      "                        --- END of Help --- \n",
  };
  static_assert(sizeof lines / sizeof lines[0] == 50);
  for (const char* line : lines) reporter.say_line(line);
}

void point_to_all_forms(Reporter& reporter) { reporter.say_line("Every form of this version: erasebox --help"); }

int print_all_forms() {
  std::fputs(
      "usage: erasebox -d|-dtest NAME\n"
      "       erasebox -l|-ltest NAME\n"
      "       erasebox -u|-utest NAME\n"
      "       erasebox -a|-atest NAME\n"
      "       erasebox -h | --help | --version\n"
      "  Changes the stored files whose name in list.q (as pullbox -list last fetched\n"
      "  it) contains NAME, such as prefix:fname; run in the working directory that\n"
      "  holds list.q, client.config and crt.tmp.\n"
      "  -d NAME      deletes every copy this session's user stored (flag 'delete')\n"
      "  -l NAME      protects every stored copy against deletion (flag 'locked')\n"
      "  -u NAME      lifts the protection (flag 'ishere' again)\n"
      "  -a NAME      the archive: no node takes it, so nothing is changed\n"
      "  -dtest, -ltest, -utest, -atest\n"
      "               the same, explaining every copy that was not changed\n"
      "  -h           the system's help text\n"
      "  Exit status: 0 when at least one copy was changed and none failed, else 1;\n"
      "  a last line on standard error says how many copies were changed and why the\n"
      "  others were not; 2 a client.config value out of range.\n"
      "  See erasebox(1), pullbox(1) and client.config(5).\n",
      stdout);
  return 0;
}

}  // namespace morbs::erasebox
