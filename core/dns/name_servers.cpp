#include "core/dns/name_servers.h"

#include "platform/resolv_conf.h"

namespace morbs {

namespace {

bool is_separator(char c) { return c == ',' || c == ' ' || c == '\t'; }

bool usable(std::string_view piece) {
  return !piece.empty() && piece.size() <= dns_server_text_limit &&
         piece.find(':') == std::string_view::npos;
}

}  // namespace

std::vector<std::string> split_name_servers(const std::vector<std::string>& values) {
  std::vector<std::string> table;
  for (const std::string& value : values) {
    std::string_view rest = value;
    while (!rest.empty() && table.size() < dns_servers_limit) {
      size_t end = 0;
      while (end < rest.size() && !is_separator(rest[end])) ++end;
      std::string_view piece = rest.substr(0, end);
      if (usable(piece)) table.emplace_back(piece);
      rest.remove_prefix(end < rest.size() ? end + 1 : end);
    }
  }
  return table;
}

std::vector<std::string> RetrieveDnsServersFromRegistry(const std::string& resolv_conf_path,
                                                        Reporter& reporter) {
  std::vector<std::string> dns_servers =
      split_name_servers(platform::read_name_server_values(resolv_conf_path));
  for (size_t i = 0; i < dns_servers.size(); ++i)
    reporter.say(format_text("\n%d) %s", static_cast<int>(i + 1), dns_servers[i].c_str()));
  return dns_servers;
}

}  // namespace morbs
