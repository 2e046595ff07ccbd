// gatekeep: stands in for the access tester. "gatekeep -local" writes the
// day's session certificate crt.tmp for the local user into the working
// directory.
#include <cstdio>
#include <string>
#include <string_view>
#include <pwd.h>
#include <unistd.h>

#include "core/certificate.h"

namespace {

void usage() {
  std::puts(
      "usage: gatekeep -local [--local-id ID] [--second-id ID]\n"
      "  Writes crt.tmp, the session certificate of today, into the working directory.\n"
      "  The local id is the login name and the second id the host name, unless given.\n"
      "  Prints nothing on success; on failure the reason, with exit code 1.");
}

std::string login_name() {
  if (const passwd* pw = getpwuid(geteuid())) return pw->pw_name;
  return "null";
}

std::string host_name() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return "null";
  return name;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::string_view(argv[1]) != "-local") {
    usage();
    return 2;
  }
  std::string local_id = login_name(), second_id = host_name();
  for (int i = 2; i < argc; ++i) {
    std::string_view option = argv[i];
    if ((option == "--local-id" || option == "--second-id") && i + 1 < argc) {
      (option == "--local-id" ? local_id : second_id) = argv[++i];
    } else {
      usage();
      return 2;
    }
  }
  std::string message;
  if (morbs::write_certificate(local_id, second_id, message) == 0) {
    std::printf("%s\n", message.c_str());
    return 1;
  }
  return 0;
}
