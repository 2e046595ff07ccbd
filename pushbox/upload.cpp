#include "pushbox/upload.h"

#include <cstdio>
#include <fstream>

#include "platform/regular_file.h"
#include "pushbox/disaster.h"
#include "pushbox/side_by_side.h"
#include "transfer/curl_runner.h"
#include "transfer/write_planning.h"

namespace pushbox {

namespace {

using morbs::Settings;

using morbs::platform::remove_file;

// Gives the reservations back; the disaster file goes only when that worked.
// 0 released, -1 kept.
int release(const std::string& disaster_fname, const Settings& settings) {
  if (free_reserved_space_after_disater(disaster_fname, settings.test, settings.connection_wait()) != 0)
    return -1;
  remove_file(disaster_fname);
  return 0;
}

// A planning that failed may have reserved space before it stopped; its
// disaster file names what to give back.
void release_after_planning(const std::string& disaster_fname, const Settings& settings) {
  if (disaster_fname.empty() || !morbs::platform::is_regular_file(disaster_fname)) return;
  release(disaster_fname, settings);
}

// The four lines of entry i in their order of registration.
struct Registration {
  const std::string& line;
  const char* failure;  // printed by the matrix flow with the part index
};

bool register_entry(const morbs::TransferTable& t, int i, const Settings& settings, std::string& message,
                    const char*& failure) {
  const Registration lines[] = {
      {t.basic_list_lines[i], "Error: basic write to listfiles %d\n"},
      {t.second_list_lines[i], "Error: second write to listfiles %d\n"},
      {t.basic_archive_lines[i], "Error: basic write to listARCHI %d\n"},
      {t.second_archive_lines[i], "Error: second write to listARCHI %d\n"},
  };
  for (const Registration& r : lines) {
    if (add_list_files_archi(settings.ip_addr, r.line, message, settings.test, settings.connection_wait()) == 0) {
      failure = r.failure;
      return false;
    }
  }
  return true;
}

}  // namespace

int64_t get_size_local_file(const std::string& path) {
  if (!morbs::platform::is_regular_file(path)) return -1;
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return -1;
  auto end = file.tellg();
  return end < 0 ? -1 : static_cast<int64_t>(end);
}

namespace {

// Both copies of the whole file, one after the other. 0, or -1 once one
// failed for good.
int send_whole_one_by_one(const morbs::TransferTable& table, const std::string& fname_input,
                          const Settings& settings) {
  for (const char* copy : {"basic", "second"})
    if (morbs::curl_write(table, copy, 0, fname_input, fname_input, settings.test) != 0) return -1;
  return 0;
}

// Each part cut from `input` in turn, then its two copies sent; a part file
// goes as soon as its copies are up, or have failed. 0, or -1.
int send_parts_one_by_one(const morbs::TransferTable& table, std::ifstream& input, const std::string& fname_input,
                          const Settings& settings) {
  const int n = table.part_count;
  for (int i = 0; i < n; ++i) {
    const std::string part = part_file_stem + std::to_string(i);
    const int64_t size = i < n - 1 ? table.part_size : table.last_part_size;
    std::printf(" File part: %s size: %lld\n", std::to_string(i).c_str(), static_cast<long long>(size));
    const bool sent = morbs::write_block(input, part, size, settings.test) == 0 &&
                      morbs::curl_write(table, "basic", i, part, fname_input, settings.test) == 0 &&
                      morbs::curl_write(table, "second", i, part, fname_input, settings.test) == 0;
    remove_file(part);
    if (!sent) return -1;
  }
  return 0;
}

}  // namespace

void upload_singular(const UploadRequest& upload, RunTables tables, const Settings& settings,
                     const std::string& uid32) {
  std::string message = "null";
  if (morbs::do_strings_write_singular_mode(tables.curl_table, tables.nconf, tables.disaster_fname, uid32,
                                            upload.id, upload.fname_input, upload.name, upload.size,
                                            settings.ip_addr, settings.init_port, message, settings.test,
                                            settings.connection_wait()) != 0) {
    std::printf(" %s\n", message.c_str());
    release_after_planning(tables.disaster_fname, settings);
    return;
  }
  std::puts("\n Upload in singular-mode\n");
  const int sent = settings.transfers > 1 ? send_whole_side_by_side(tables.curl_table, upload.fname_input, settings)
                                          : send_whole_one_by_one(tables.curl_table, upload.fname_input, settings);
  if (sent != 0) {
    release(tables.disaster_fname, settings);
    return;
  }
  const char* failure = nullptr;
  if (!register_entry(tables.curl_table, 0, settings, message, failure)) {
    release(tables.disaster_fname, settings);
    return;
  }
  remove_file(tables.disaster_fname);
  std::puts("\n End upload in singualar-mode. SUCCESS!\n");
}

void upload_matrix(const UploadRequest& upload, RunTables tables, const Settings& settings,
                   const std::string& uid32) {
  std::string message = "null";
  morbs::TransferTable& table = tables.curl_table;
  if (morbs::do_strings_write_matrix_mode(table, tables.nconf, tables.permut, tables.disaster_fname, uid32,
                                          upload.id, part_file_stem, upload.name, upload.size, settings.ip_addr,
                                          settings.init_port, message, settings.test,
                                          settings.connection_wait()) != 0) {
    std::printf(" %s\n", message.c_str());
    release_after_planning(tables.disaster_fname, settings);
    return;
  }
  if (table.mode != "upload-matrix") {
    std::puts("ERROR[!]: Incorect upload mode");
    remove_file(tables.disaster_fname);
    return;
  }
  std::ifstream input(upload.fname_input, std::ios::binary);
  if (!input) {
    if (release(tables.disaster_fname, settings) != 0) return;
    std::puts("can't open input file for upload to data-network");
    return;
  }
  const int n = table.part_count;
  std::printf("\n Upload in matrix-mode, nr nodes: %d\n\n", n);
  int sent = 0;
  if (settings.transfers > 1) {
    input.close();  // the parts are cut from a stream of their own
    sent = send_parts_side_by_side(table, upload.fname_input, part_file_stem, settings);
  } else {
    sent = send_parts_one_by_one(table, input, upload.fname_input, settings);
    input.close();
  }
  if (sent != 0) {
    release(tables.disaster_fname, settings);
    return;
  }

  for (int i = 0; i < n; ++i) {
    const char* failure = nullptr;
    if (!register_entry(table, i, settings, message, failure)) {
      if (release(tables.disaster_fname, settings) != 0) return;
      if (settings.test) std::printf(failure, i);
      return;
    }
  }
  remove_file(tables.disaster_fname);
  std::puts("\n End upload in matrix-mode. SUCCESS!\n");
}

}  // namespace pushbox
