#include "transfer/registration_lines.h"

#include "core/wire/number_text.h"
#include "core/wire/query_string.h"

namespace morbs {

namespace {

std::optional<std::string> bounded(std::string line) {
  if (line.size() > registration_line_limit) return std::nullopt;
  return line;
}

}  // namespace

std::optional<std::string> list_files_line(std::string_view id, std::string_view stored_name,
                                           std::string_view uid32, Copy copy, int port, Area area) {
  std::string line = "OP=listfiles&SUB=add&FN=";
  line.append(stored_name).append("&ID=").append(id).append("&UID32=").append(uid32);
  line.append("&ORG=").append(org_text(copy));
  line.append("&PORT=").append(std::to_string(port)).append("&DISK=").append(area_text(area)).append("&");
  return bounded(std::move(line));
}

std::optional<std::string> list_archive_line(std::string_view id, std::string_view stored_name, Copy copy,
                                             int port, Area area) {
  std::string line = "OP=listARCHI&SUB=add&ID=";
  line.append(id).append("&DISK=").append(area_text(area)).append("&FN=").append(stored_name);
  line.append("&DIRF=auto&ORG=").append(org_text(copy));
  line.append("&PORT=").append(std::to_string(port)).append("&");
  return bounded(std::move(line));
}



Status register_line(NodeExchange& exchange, std::string_view address, std::string_view line, Reporter& reporter) {
  std::string request(line);
  std::string port;
  select_value(request, "PORT", port);
  if (port == absent) return Status::failure("abort by undefined port in list/archi strings");
  if (!exchange.ask(address, to_int(port), request))
    return Status::failure("abort connection for write list/archi strings");
  std::string status, re, cp;
  select_value(request, "STATUS", status);
  if (status == "done") return Status::success();
  select_value(request, "RE", re);
  select_value(request, "CP", cp);
  reporter.detail(format_text("Error: %s: ", re.c_str()));
  reporter.detail(format_text(" %s\n", cp.c_str()));
  return Status::failure("the node refused the line: " + re);
}

}  // namespace morbs
