// pullbox: fetches the account's file list, shows it, downloads stored files,
// checks the account's copies. "--help" lists every form.
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/session/certificate.h"
#include "core/session/config.h"
#include "core/help_option.h"
#include "core/version.h"
#include "pullbox/check.h"
#include "pullbox/help.h"
#include "pullbox/list_commands.h"
#include "pullbox/read_command.h"
#include "pullbox/read_flow.h"
#include "pullbox/out_names.h"
#include "pullbox/run.h"
#include "transfer/run_env.h"

namespace {

constexpr size_t uid32_limit = 47;

// The exit status of a run that did not do what it was asked.
constexpr int failed = 1;
constexpr int refused_config = 2;

// Ends a run: 0 when it did what it was asked, else one added line on
// standard error saying what failed and why.
int ending(const morbs::Status& status, morbs::Reporter& reporter) {
  reporter.flush();
  if (status.ok()) return 0;
  morbs::ConsoleReporter::failure_line("pullbox: " + status.why());
  return failed;
}

// The one-file -rd's failure names its OUT, as the many-file form's do.
morbs::Status about_out(const morbs::Status& status, const std::string& out) {
  if (status.ok() || status.why().rfind(out + ":", 0) == 0) return status;
  return morbs::Status::failure(out + ": not fetched: " + status.why());
}

// -rd ID STORED OUT [STORED OUT]...: each file's verdict, then how many of
// how many were fetched; a failure line for each one that was not.
int read_several(morbs::pullbox::Run& run, morbs::RunEnv& env, int argc, char** argv) {
  using namespace morbs;
  std::vector<pullbox::WantedFile> wanted;
  for (int i = 3; i + 1 < argc; i += 2) wanted.push_back({argv[i], argv[i + 1]});
  // An OUT the run needs itself, or one an earlier pair takes, refuses the
  // run before anything is fetched.
  std::vector<std::string> outs;
  bool refused = false;
  for (const pullbox::WantedFile& w : wanted) {
    if (const Status s = pullbox::out_refusal(w.out, outs); !s) {
      ConsoleReporter::failure_line("pullbox: " + s.why());
      refused = true;
    }
    outs.push_back(w.out);
  }
  if (refused) return failed;
  const std::vector<Status> verdicts = pullbox::read_files(run, env, argv[2], wanted, pullbox::several_files_read);
  size_t fetched = 0;
  for (const Status& v : verdicts) fetched += v.ok() ? 1 : 0;
  env.reporter.say(format_text("\n Fetched %zu of %zu files\n", fetched, wanted.size()));
  env.reporter.flush();
  for (size_t i = 0; i < verdicts.size(); ++i)
    if (!verdicts[i])
      ConsoleReporter::failure_line("pullbox: " + wanted[i].out + ": not fetched: " + verdicts[i].why());
  return fetched == wanted.size() ? 0 : failed;
}

}  // namespace

int main(int argc, char** argv) {
  if (morbs::asks_for_version(argc, argv)) {
    std::fputs(morbs::version_text("pullbox").c_str(), stdout);
    return 0;
  }
  if (morbs::asks_for_help(argc, argv)) return morbs::pullbox::print_all_forms();
  using namespace morbs;
  using namespace morbs::pullbox;
  platform::start_transfer_library();  // before any thread starts
  Run run;
  // Details are shown until client.config says otherwise.
  ConsoleReporter reporter(true);
  const std::optional<std::string> uid32 = access_card(uid32_limit, reporter);
  if (!uid32) return failed;
  run.uid32 = *uid32;
  // A client.config value out of range ends the run, naming its key.
  if (const Result<bool> config = read_config(run.settings, reporter); !config) {
    reporter.flush();
    ConsoleReporter::failure_line(config.why());
    return refused_config;
  }
  reporter.set_details(run.settings.test == 1);
  other_data_network();
  NetworkExchange exchange(run.settings.connection_wait(), reporter);
  LibraryTransfers transfers;
  const std::unique_ptr<ProgressView> progress = terminal_progress();
  RunEnv env{reporter, exchange, transfers, progress.get()};

  // The form is told by the number of arguments; the option must then match.
  const std::string_view option = argc > 1 ? argv[1] : "";
  if (argc == 2 && option == "-ls") {
    return ending(ls_sorted_command(reporter), reporter);
  } else if (argc == 2 && option == "-h") {
    // The written text as it stands; the added line after it only.
    if (run.settings.test == 1) {
      print_help();
      print_pointer_to_all_forms();
    }
  } else if (argc == 3 && option == "-list") {
    return ending(list_command(run, env, argv[2]), reporter);
  } else if (argc == 6 && option == "-ls") {
    return ending(ls_command(reporter, argv[2], argv[3], argv[4], argv[5]), reporter);
  } else if ((argc == 3 || (argc == 4 && std::string_view(argv[3]) == "-deep")) && option == "-check") {
    return ending(check_command(run, env, argv[2], argc == 4), reporter);
  } else if (argc == 5 && option == "-rd") {
    return ending(about_out(read_command(run, env, argv[2], argv[3], argv[4]), argv[4]), reporter);
  } else if (argc >= 7 && argc % 2 == 1 && option == "-rd") {
    return read_several(run, env, argc, argv);
  } else {
    print_usage(run.settings);
    return failed;
  }
  return 0;
}
