#include "pushbox/disaster.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/wire/number_text.h"
#include "core/wire/op_message.h"
#include "core/wire/query_string.h"
#include "platform/regular_file.h"

namespace pushbox {

namespace {

using morbs::select_value;

int stop(const char* text, int test) {
  if (test) std::puts(text);
  return -1;
}

}  // namespace

int free_reserved_space_after_disater(const std::string& path, int test, morbs::ConnectionWait wait) {
  std::ifstream file;
  if (morbs::platform::is_regular_file(path)) file.open(path, std::ios::binary);
  if (!file.is_open()) {
    if (test) std::puts("Error[!]: can't open disaster-file");
    return 0;
  }
  for (std::string line; std::getline(file, line);) {
    if (line.size() > disaster_line_limit) return stop("Error[!]: incorrect disaster-string [1]", test);
    std::string disk, fn, id, address, port_text;
    select_value(line, "DISK", disk);
    select_value(line, "FN", fn);
    select_value(line, "ID", id);
    std::string request = "OP=listfiles&SUB=chg&DISK=" + disk + "&FN=" + fn + "&ID=" + id + "&CURRNEW=delete&";
    if (request.find(morbs::absent) != std::string::npos)
      return stop("Error[!]: incorrect disaster-string [1]", test);
    if (select_value(line, "IPADDR", address) != 0) return stop("Error[!]: incorrect disaster-string [2]", test);
    select_value(line, "PORT", port_text);
    const int port = morbs::to_int(port_text);
    if (port <= 0 || port > 65535) return stop("Error[!]: incorrect disaster-string [3]", test);
    if (morbs::op_message(address, port, request, test, wait) != 0) {
      std::puts("Error[!]: abort connection clear-disaster[0]");
      return -1;
    }
  }
  return 0;
}

int check_disaster_files(int test, morbs::ConnectionWait wait) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::directory_iterator dir(".", error);
  if (error) return 0;
  // Names first: the directory changes while the files are removed.
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : dir) {
    std::string name = entry.path().filename().string();
    if (name.find(disaster_marker) != std::string::npos) names.push_back(name);
  }
  int count = 0;
  for (const std::string& name : names) {
    // A FIFO or a directory of that name is nothing an upload wrote.
    if (!morbs::platform::is_regular_file(name)) continue;
    if (test) std::puts(name.c_str());
    if (free_reserved_space_after_disater(name, test, wait) == 0) fs::remove(name, error);
    ++count;
  }
  return count;
}

int add_list_files_archi(std::string_view address, std::string_view line, std::string& message, int test,
                         morbs::ConnectionWait wait) {
  std::string request(line);
  std::string port;
  select_value(request, "PORT", port);
  if (port == morbs::absent) {
    message = "abort by undefined port in list/archi strings";
    return 0;
  }
  if (morbs::op_message(address, morbs::to_int(port), request, test, wait) != 0) {
    message = "abort connection for write list/archi strings";
    return 0;
  }
  std::string status, re, cp;
  select_value(request, "STATUS", status);
  if (status == "done") return 1;
  if (test) {
    select_value(request, "RE", re);
    select_value(request, "CP", cp);
    std::printf("Error: %s: ", re.c_str());
    std::printf(" %s\n", cp.c_str());
  }
  return 0;
}

}  // namespace pushbox
