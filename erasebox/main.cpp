// erasebox: deletes, locks and unlocks the stored files named in list.q.
// "--help" lists every form.
#include <string>
#include <string_view>

#include "core/report/reporter.h"
#include "core/session/certificate.h"
#include "core/session/config.h"
#include "core/help_option.h"
#include "core/version.h"

#include <cstdio>
#include "erasebox/clear_by_list_name.h"
#include "erasebox/help.h"
#include "lists/work_files.h"
#include "platform/console.h"

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

// Exit statuses: only a run that changed what it was asked to ends with 0.
constexpr int status_done = 0;
constexpr int status_not_done = 1;
constexpr int status_refused_config = 2;

// The added last line, on standard error so that standard output stays as
// written.
int ends_with(morbs::Reporter& reporter, const std::string& why, int status) {
  reporter.flush();
  morbs::platform::write_stderr(why + "\n");
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (morbs::asks_for_version(argc, argv)) {
    std::fputs(morbs::version_text("erasebox").c_str(), stdout);
    return 0;
  }
  if (morbs::asks_for_help(argc, argv)) return morbs::erasebox::print_all_forms();
  using namespace morbs;
  Settings settings = Settings::defaults(Program::erasebox);
  ConsoleReporter reporter(true);
  if (Result<bool> config = read_config(settings, reporter); !config)
    return ends_with(reporter, config.why(), status_refused_config);
  reporter.set_details(settings.test == 1);

  const bool help_asked = argc == 2 && std::string_view(argv[1]) == "-h";
  // The written text as it stands; the added line after it only.
  if (help_asked) {
    erasebox::help(reporter);
    erasebox::point_to_all_forms(reporter);
  }

  const std::optional<std::string> uid32 = access_card(uid32_limit, reporter);
  if (!uid32) {
    return ends_with(reporter, "erasebox: changed 0 copies, no valid session certificate", status_not_done);
  }
  const Option* option = argc == 3 ? find_option(argv[1]) : nullptr;
  if (!option) {
    reporter.detail_line("USE: erasebox [-h] for help");
    // Asked for nothing but the help or the usage line, it gave that.
    if (help_asked || argc == 1) return status_done;
    return ends_with(reporter, "erasebox: changed 0 copies, no option and name given", status_not_done);
  }
  const std::string_view pattern = argv[2];
  // An empty pattern is contained in every name: it would act on every file
  // of the list. Refused whatever TEST says, since nothing is done.
  if (pattern.empty()) {
    reporter.say_line("[!] empty file name: erasebox changes nothing");
    return ends_with(reporter, "erasebox: changed 0 copies, the name is empty", status_not_done);
  }
  if (pattern.size() > pattern_limit) {
    reporter.detail("[!] too long lenght of [3] argument");
    return ends_with(reporter, "erasebox: changed 0 copies, the name is longer than 256 characters",
                     status_not_done);
  }
  erasebox::Session session{settings.ip_addr, *uid32, settings.connection_wait()};
  // The operations' messages follow the option, not TEST.
  ConsoleReporter operations(option->diagnostics == 1);
  const erasebox::EraseOutcome outcome =
      erasebox::clear_by_list_name(session, list_name, pattern, option->mode, operations);
  // Success is said only for a run that changed something and failed nowhere.
  reporter.detail_line(outcome.done() ? "END... success!" : "[!] erasebox isn't finished completely.");
  return ends_with(reporter, erasebox::summary_line(outcome, list_name),
                   outcome.done() ? status_done : status_not_done);
}
