// erasebox: deletes, locks and unlocks the stored files named in list.q.
#include <cstdio>
#include <string>
#include <string_view>

#include "core/session/certificate.h"
#include "core/session/config.h"
#include "core/version.h"
#include "erasebox/clear_by_list_name.h"
#include "erasebox/help.h"

namespace {

struct Option {
  std::string_view name, mode;
  int diagnostics;
};

constexpr Option options[] = {
    {"-d", "delete", 0}, {"-a", "archiv", 0}, {"-dtest", "delete", 1}, {"-atest", "archiv", 1},
    {"-l", "lock", 0},   {"-ltest", "lock", 1}, {"-u", "unlock", 0},   {"-utest", "unlock", 1},
};

const Option* find_option(std::string_view name) {
  for (const Option& o : options)
    if (o.name == name) return &o;
  return nullptr;
}

constexpr size_t pattern_limit = 256;
constexpr size_t uid32_limit = 39;
const std::string list_name = "list.q";

}  // namespace

int main(int argc, char** argv) {
  if (morbs::asks_for_version(argc, argv)) return morbs::print_version("erasebox");
  using namespace morbs;
  Settings settings = Settings::defaults(Program::erasebox);
  read_config(settings);

  if (argc == 2 && std::string_view(argv[1]) == "-h") erasebox::help();

  std::string uid32;
  if (test_UID(uid32, uid32_limit) == 0) {
    std::puts("\n Incorrect access card");
    return 0;
  }
  const Option* option = argc == 3 ? find_option(argv[1]) : nullptr;
  if (!option) {
    if (settings.test == 1) std::puts("USE: erasebox [-h] for help");
    return 0;
  }
  const std::string_view pattern = argv[2];
  // An empty pattern is contained in every name: it would act on every file
  // of the list. Refused whatever TEST says, since nothing is done.
  if (pattern.empty()) {
    std::puts("[!] empty file name: erasebox changes nothing");
    return 0;
  }
  if (pattern.size() > pattern_limit) {
    if (settings.test == 1) std::printf("[!] too long lenght of [3] argument");
    return 0;
  }
  erasebox::Session session{settings.ip_addr, uid32, settings.connection_wait()};
  int result = erasebox::clear_by_list_name(session, list_name, pattern, option->mode,
                                            option->diagnostics);
  if (settings.test == 1)
    std::puts(result == 1 ? "END... success!" : "[!] erasebox isn't finished completely.");
  return 0;
}
