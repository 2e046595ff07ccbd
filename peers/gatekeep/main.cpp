// gatekeep: stands in for the access tester. "gatekeep -local" writes the
// day's session certificate crt.tmp for the local user into the working
// directory.
#include <cstdio>
#include <string>
#include <string_view>
#include <pwd.h>
#include <unistd.h>

#include "core/session/certificate.h"
#include "core/version.h"
#include "peers/gatekeep/help.h"

namespace {

// Empty when the user has no name on this machine.
std::string login_name() {
  if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name) return pw->pw_name;
  if (const char* name = getlogin()) return name;
  return {};
}

std::string host_name() {
  char name[256] = {};  // gethostname's own interface; names are at most 64 bytes
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

struct Options {
  std::string local_id, second_id;
  bool local_id_given = false, second_id_given = false;
};

// 0 parsed, 1 help asked, 2 wrong usage.
int parse(int argc, char** argv, Options& options) {
  if (argc == 2 && std::string_view(argv[1]) == "--help") return 1;
  if (argc < 2 || std::string_view(argv[1]) != "-local") return 2;
  for (int i = 2; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (option == "--help") return 1;
    if (i + 1 >= argc) return 2;
    if (option == "--local-id") {
      options.local_id = argv[++i];
      options.local_id_given = true;
    } else if (option == "--second-id") {
      options.second_id = argv[++i];
      options.second_id_given = true;
    } else {
      return 2;
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (morbs::asks_for_version(argc, argv)) {
    std::fputs(morbs::version_text("gatekeep").c_str(), stdout);
    return 0;
  }
  Options options;
  if (int parsed = parse(argc, argv, options); parsed != 0) {
    morbs::gatekeep::print_all_forms();
    return parsed == 1 ? 0 : 2;
  }
  if (!options.local_id_given) options.local_id = login_name();
  if (!options.second_id_given) options.second_id = host_name();
  // A certificate without a name would hand the programs an empty identity.
  if (options.local_id.empty()) {
    std::puts(" no login name for the local user");
    return 1;
  }
  if (options.second_id.empty()) {
    std::puts(" no host name");
    return 1;
  }
  std::string message;
  if (morbs::write_certificate(options.local_id, options.second_id, message) == 0) {
    std::printf("%s\n", message.c_str());
    return 1;
  }
  return 0;
}
