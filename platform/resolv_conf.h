// The name servers configured on the machine: the "nameserver" lines of the
// resolver configuration, which is what this platform has for them.
#pragma once

#include <string>
#include <vector>

namespace morbs::platform {

// Nobody's resolver configuration is larger; the rest of a bigger file is not read.
inline constexpr size_t resolv_conf_read_limit = 65536;

// The text after the keyword of every "nameserver" line, in file order, with
// the blanks around it trimmed: each one value as a configured name-server
// setting holds it. Comment lines ("#" or ";") are skipped. Empty when the
// file cannot be read.
std::vector<std::string> read_name_server_values(const std::string& path = "/etc/resolv.conf");

}  // namespace morbs::platform
