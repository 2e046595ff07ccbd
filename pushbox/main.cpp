// pushbox: uploads one local file into the data network, or, with
// -clear_disaster, gives back what interrupted uploads reserved.
#include <cstdio>
#include <string>
#include <string_view>

#include "core/session/account.h"
#include "core/session/certificate.h"
#include "core/session/config.h"
#include "core/report/reporter.h"
#include "transfer/disaster_journal.h"
#include "transfer/write_planning.h"
#include "pushbox/upload.h"

namespace {

constexpr size_t uid32_limit = 39;
constexpr size_t fname_input_limit = 2047;
constexpr size_t name_limit = 126;

}  // namespace

int main(int argc, char** argv) {
  using namespace morbs;
  Settings settings = Settings::defaults(Program::pushbox);
  std::string uid32;
  if (test_UID(uid32, uid32_limit) == 0) {
    std::puts("\n Incorrect access card");
    return 0;
  }
  if (argc == 2 && std::string_view(argv[1]) == "-clear_disaster") {
    read_config(settings);
    ConsoleReporter reporter(settings.test == 1);
    (void)release_all_disaster_files(settings.connection_wait(), reporter);
    return 0;
  }
  if (argc != 4) {
    std::puts("Incorrect number of arguments");
    return 0;
  }
  const std::string_view id = argv[1], path = argv[2], name = argv[3];
  if (id.size() != account_id_length) {
    std::puts("ID must containt 11 chars");
    return 0;
  }
  if (check_PESEL(id, settings.test) == 0) {
    std::puts("Incorrect ID (pesel form)");
    return 0;
  }
  if (path.size() > fname_input_limit) {
    std::puts("Icorrect lenght of client's filename");
    return 0;
  }
  // An empty name would store a file without a name.
  if (name.size() > name_limit || name.empty()) {
    std::puts("Icorrect lenght of filename-in-archi");
    return 0;
  }
  read_config(settings);

  pushbox::UploadRequest upload{std::string(id), std::string(path), std::string(name), 0};
  upload.size = pushbox::get_size_local_file(upload.fname_input);
  if (upload.size < 0) {
    std::printf(" can't open input file for upload to data-network: %s\n", upload.fname_input.c_str());
    return 0;
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
  pushbox::remove_parts_of_ended_runs();
  (void)pushbox::upload(upload, matrix, settings, uid32, reporter);
  return 0;
}
