// Reading client.config into the global settings.
#pragma once

#include <string>

#include "core/dns/dns.h"
#include "core/session/settings.h"

namespace morbs {

// Applies every key found in the file to `settings`, by the rules of each
// setting. -1 when the file cannot be opened or no line set INIT_PORT_Q or
// INIT_PORT_P; 0 otherwise. Callers go on either way: the defaults stay.
int read_config(Settings& settings, const std::string& path = "client.config",
                const DnsOptions& dns_options = {});

// One non-comment line of the file.
// Returns true when the line held INIT_PORT_Q or INIT_PORT_P.
bool apply_config_line(Settings& settings, const std::string& line,
                       const DnsOptions& dns_options = {});

}  // namespace morbs
