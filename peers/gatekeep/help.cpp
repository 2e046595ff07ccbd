#include "peers/gatekeep/help.h"

#include <cstdio>

namespace morbs::gatekeep {

void print_all_forms() {
  std::fputs(
      "usage: gatekeep -local [--local-id ID] [--second-id ID]\n"
      "       gatekeep --help | --version\n"
      "  Writes crt.tmp, the session certificate of today, into the working directory.\n"
      "  The local id is the login name and the second id the host name, unless given.\n"
      "  Prints nothing on success; on failure the reason, with exit code 1.\n"
      "  Writing takes about two seconds.\n"
      "  Exit status: 0 written; 1 not written; 2 a command line it does not take.\n"
      "  See gatekeep(1).\n",
      stdout);
}

}  // namespace morbs::gatekeep
