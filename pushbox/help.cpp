#include "pushbox/help.h"

#include <cstdio>

namespace morbs::pushbox {

int print_all_forms() {
  std::fputs(
      "usage: pushbox ID PATH NAME [PATH NAME]...\n"
      "       pushbox -repair ID\n"
      "       pushbox -clear_disaster\n"
      "       pushbox --help | --version\n"
      "  Uploads local files into the account ID (11 characters) of the data network,\n"
      "  run in the working directory that holds client.config and crt.tmp.\n"
      "  ID PATH NAME      stores the local file PATH under NAME, twice; several\n"
      "                    PATH NAME pairs are stored in one run\n"
      "  -repair ID        restores every missing or bad copy of the account's files\n"
      "                    from its good twin\n"
      "  -clear_disaster   gives back what interrupted uploads and repairs reserved\n"
      "                    (the *.disater files of the working directory)\n"
      "  Exit status: 0 done; 1 not done (a line on standard error says why);\n"
      "  2 a client.config value out of range.\n"
      "  See pushbox(1) and client.config(5).\n",
      stdout);
  return 0;
}

}  // namespace morbs::pushbox
