// pushbox: uploads local files into the data network, restores lost copies
// (-repair), or, with -clear_disaster, gives back what interrupted uploads
// reserved. "--help" lists every form.
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/session/account.h"
#include "core/session/certificate.h"
#include "core/session/config.h"
#include "core/report/reporter.h"
#include "core/help_option.h"
#include "core/version.h"

#include <cstdio>
#include "transfer/disaster_journal.h"
#include "transfer/write_planning.h"
#include "pushbox/help.h"
#include "pushbox/repair.h"
#include "pushbox/upload.h"
#include "pushbox/upload_flow.h"
#include "transfer/run_env.h"

namespace {

constexpr size_t uid32_limit = 39;
constexpr size_t fname_input_limit = 2047;
constexpr size_t name_limit = 126;

// The exit status of a run that did not do what it was asked, and of one
// that refused a client.config value.
constexpr int failed = 1;
constexpr int refused_config = 2;

// The added last line of a failed run, on standard error: what failed and why.
int tell_failure(const std::string& what) {
  morbs::ConsoleReporter::failure_line("pushbox: " + what);
  return failed;
}

// The checks of a run's account id; false (told) when it is not one.
bool account_id_accepted(std::string_view id, morbs::Reporter& reporter) {
  if (id.size() != morbs::account_id_length) {
    reporter.say_line("ID must containt 11 chars");
    return false;
  }
  if (const morbs::Status checked = morbs::check_PESEL(id); !checked) {
    reporter.detail_line(checked.why());
    reporter.flush();
    reporter.say_line("Incorrect ID (pesel form)");
    return false;
  }
  return true;
}

// What a pair's path and name must be; empty when they pass. An empty name
// would store a file without a name.
std::string refusal_of(std::string_view path, std::string_view name) {
  if (path.size() > fname_input_limit) return "Icorrect lenght of client's filename";
  if (name.size() > name_limit || name.empty()) return "Icorrect lenght of filename-in-archi";
  return "";
}

// pushbox ID PATH NAME [PATH NAME]...: every file that can be read goes into
// one run; each file's verdict, then how many of how many were stored.
int upload_several(int argc, char** argv, const morbs::Settings& settings, const std::string& uid32,
                   morbs::ConsoleReporter& reporter) {
  using namespace morbs;
  const std::string_view id = argv[1];
  std::vector<pushbox::UploadRequest> files;
  std::vector<std::pair<std::string, std::string>> refused;  // path, why
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string path = argv[i], name = argv[i + 1];
    if (std::string why = refusal_of(path, name); !why.empty()) {
      reporter.say_line(why + ": " + path);
      refused.emplace_back(path, why);
      continue;
    }
    pushbox::UploadRequest upload{std::string(id), path, stored_file_name_of(name), 0, pushbox::HeldSource::open(path)};
    upload.size = upload.source ? upload.source->size() : -1;
    if (upload.size < 0) {
      reporter.say(format_text(" can't open input file for upload to data-network: %s\n", path.c_str()));
      refused.emplace_back(path, pushbox::unreadable_source(path));
      continue;
    }
    parser_file_name(upload.name);
    files.push_back(std::move(upload));
  }
  reporter.say(format_text("\nMatrix lev:\t\t%lld\n", static_cast<long long>(settings.min_fsize)));
  reporter.say_line(" ...wait a moment\n");
  NetworkExchange exchange(settings.connection_wait(), reporter);
  LibraryTransfers transfers;
  const std::unique_ptr<ProgressView> progress = terminal_progress();
  RunEnv env{reporter, exchange, transfers, progress.get()};
  pushbox::remove_parts_of_ended_runs();
  const std::vector<Status> verdicts = files.empty() ? std::vector<Status>{}
                                                     : pushbox::upload_many(files, settings, uid32, env);
  size_t stored = 0;
  for (const Status& v : verdicts) stored += v.ok() ? 1 : 0;
  const size_t all = files.size() + refused.size();
  reporter.say(format_text("\n Stored %zu of %zu files\n", stored, all));
  reporter.flush();
  for (const auto& [path, why] : refused) ConsoleReporter::failure_line("pushbox: " + path + ": not stored: " + why);
  for (size_t i = 0; i < verdicts.size(); ++i)
    if (!verdicts[i]) ConsoleReporter::failure_line("pushbox: " + files[i].fname_input + ": not stored: " + verdicts[i].why());
  return stored == all ? 0 : failed;
}

}  // namespace

int main(int argc, char** argv) {
  if (morbs::asks_for_version(argc, argv)) {
    std::fputs(morbs::version_text("pushbox").c_str(), stdout);
    return 0;
  }
  if (morbs::asks_for_help(argc, argv)) return morbs::pushbox::print_all_forms();
  using namespace morbs;
  platform::start_transfer_library();  // before any thread starts
  Settings settings = Settings::defaults(Program::pushbox);
  // Details are shown until client.config says otherwise.
  ConsoleReporter reporter(true);
  // client.config is read once the arguments have passed; a value out of
  // range ends the run, naming its key.
  auto configure = [&]() -> bool {
    const Result<bool> config = read_config(settings, reporter);
    reporter.set_details(settings.test == 1);
    if (config) return true;
    reporter.flush();
    ConsoleReporter::failure_line(config.why());
    return false;
  };
  const std::optional<std::string> uid32 = access_card(uid32_limit, reporter);
  if (!uid32) return failed;
  if (argc == 2 && std::string_view(argv[1]) == "-clear_disaster") {
    if (!configure()) return refused_config;
    // What killed runs left behind goes with what they reserved.
    pushbox::remove_parts_of_ended_runs();
    NetworkExchange exchange(settings.connection_wait(), reporter);
    const Status released = release_all_disaster_files(exchange, reporter);
    reporter.flush();
    return released ? 0 : tell_failure(released.why());
  }
  if (argc == 3 && std::string_view(argv[1]) == "-repair") {
    const std::string_view id = argv[2];
    if (!account_id_accepted(id, reporter)) return failed;
    if (!configure()) return refused_config;
    pushbox::remove_parts_of_ended_runs();
    NetworkExchange exchange(settings.connection_wait(), reporter);
    LibraryTransfers transfers;
    const std::unique_ptr<ProgressView> progress = terminal_progress();
    RunEnv env{reporter, exchange, transfers, progress.get()};
    const Status repaired = pushbox::repair_account(std::string(id), settings, *uid32, env);
    reporter.flush();
    return repaired ? 0 : tell_failure(repaired.why());
  }
  // ID PATH NAME, or ID and several PATH NAME pairs.
  if (argc < 4 || argc % 2 != 0) {
    reporter.say_line("Incorrect number of arguments");
    return failed;
  }
  const std::string_view id = argv[1], path = argv[2], name = argv[3];
  if (!account_id_accepted(id, reporter)) return failed;
  if (argc > 4) {
    if (!configure()) return refused_config;
    return upload_several(argc, argv, settings, *uid32, reporter);
  }
  if (const std::string why = refusal_of(path, name); !why.empty()) {
    reporter.say_line(why);
    reporter.flush();
    return tell_failure(std::string(path) + ": not stored: " + why);
  }
  if (!configure()) return refused_config;

  pushbox::UploadRequest upload{std::string(id), std::string(path), std::string(name), 0,
                                pushbox::HeldSource::open(std::string(path))};
  upload.size = upload.source ? upload.source->size() : -1;
  if (upload.size < 0) {
    reporter.say(format_text(" can't open input file for upload to data-network: %s\n", upload.fname_input.c_str()));
    reporter.flush();
    return tell_failure(upload.fname_input + ": not stored: " + pushbox::unreadable_source(upload.fname_input));
  }
  const bool matrix = upload.size > settings.min_fsize;
  // Arguments come as UTF-8 here, or as single-byte text from older callers:
  // both become the plain name the nodes store.
  upload.name = stored_file_name_of(upload.name);
  parser_file_name(upload.name);
  reporter.say(format_text("\nFile REPO:  %s\n\n", upload.name.c_str()));
  reporter.say(format_text("File size:\t\t%lld\n", static_cast<long long>(upload.size)));
  reporter.say(format_text("Matrix lev:\t\t%lld\n", static_cast<long long>(settings.min_fsize)));
  reporter.say_line(matrix ? "Mode:\t\t\tmatrix" : "Mode:\t\t\tsingular");
  reporter.say_line(" ...wait a moment\n");

  NetworkExchange exchange(settings.connection_wait(), reporter);
  LibraryTransfers transfers;
  const std::unique_ptr<ProgressView> progress = terminal_progress();
  RunEnv env{reporter, exchange, transfers, progress.get()};
  pushbox::remove_parts_of_ended_runs();
  const Status stored = pushbox::upload(upload, matrix, settings, *uid32, env);
  reporter.flush();
  return stored ? 0 : tell_failure(upload.fname_input + ": not stored: " + stored.why());
}
