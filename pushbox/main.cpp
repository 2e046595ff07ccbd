// pushbox: uploads one local file into the data network, or, with
// -clear_disaster, gives back what interrupted uploads reserved.
#include <cstdio>
#include <string>
#include <string_view>

#include "core/session/account.h"
#include "core/session/certificate.h"
#include "core/session/config.h"
#include "core/report/reporter.h"
#include "core/version.h"
#include "transfer/disaster_journal.h"
#include "transfer/write_planning.h"
#include "pushbox/upload.h"

namespace {

constexpr size_t uid32_limit = 39;
constexpr size_t fname_input_limit = 2047;
constexpr size_t name_limit = 126;

// The exit status of a run that did not do what it was asked.
constexpr int failed = 1;

// The added last line of a failed run, on standard error: what failed and why.
int tell_failure(const std::string& what) {
  morbs::ConsoleReporter::failure_line("pushbox: " + what);
  return failed;
}

}  // namespace

int main(int argc, char** argv) {
  if (morbs::asks_for_version(argc, argv)) return morbs::print_version("pushbox");
  using namespace morbs;
  Settings settings = Settings::defaults(Program::pushbox);
  std::string uid32;
  if (test_UID(uid32, uid32_limit) == 0) {
    std::puts("\n Incorrect access card");
    return failed;
  }
  if (argc == 2 && std::string_view(argv[1]) == "-clear_disaster") {
    read_config(settings);
    ConsoleReporter reporter(settings.test == 1);
    NetworkExchange exchange(settings.connection_wait(), reporter);
    const Status released = release_all_disaster_files(exchange, reporter);
    reporter.flush();
    return released ? 0 : tell_failure(released.why());
  }
  if (argc != 4) {
    std::puts("Incorrect number of arguments");
    return failed;
  }
  const std::string_view id = argv[1], path = argv[2], name = argv[3];
  if (id.size() != account_id_length) {
    std::puts("ID must containt 11 chars");
    return failed;
  }
  if (check_PESEL(id, settings.test) == 0) {
    std::puts("Incorrect ID (pesel form)");
    return failed;
  }
  if (path.size() > fname_input_limit) {
    std::puts("Icorrect lenght of client's filename");
    return failed;
  }
  // An empty name would store a file without a name.
  if (name.size() > name_limit || name.empty()) {
    std::puts("Icorrect lenght of filename-in-archi");
    return failed;
  }
  read_config(settings);

  pushbox::UploadRequest upload{std::string(id), std::string(path), std::string(name), 0};
  upload.size = pushbox::get_size_local_file(upload.fname_input);
  if (upload.size < 0) {
    std::printf(" can't open input file for upload to data-network: %s\n", upload.fname_input.c_str());
    return failed;
  }
  const bool matrix = upload.size > settings.min_fsize;
  // Arguments come as UTF-8 here, or as single-byte text from older callers:
  // both become the plain name the nodes store.
  upload.name = stored_file_name_of(upload.name);
  parser_file_name(upload.name);
  std::printf("\nFile REPO:  %s\n\n", upload.name.c_str());
  std::printf("File size:\t\t%lld\n", static_cast<long long>(upload.size));
  std::printf("Matrix lev:\t\t%lld\n", static_cast<long long>(settings.min_fsize));
  std::puts(matrix ? "Mode:\t\t\tmatrix" : "Mode:\t\t\tsingular");
  std::puts(" ...wait a moment\n");

  ConsoleReporter reporter(settings.test == 1);
  NetworkExchange exchange(settings.connection_wait(), reporter);
  ChildWorkers workers;
  RunEnv env{reporter, exchange, workers};
  pushbox::remove_parts_of_ended_runs();
  const Status stored = pushbox::upload(upload, matrix, settings, uid32, env);
  reporter.flush();
  return stored ? 0 : tell_failure(printable(upload.fname_input) + ": not stored: " + stored.why());
}
