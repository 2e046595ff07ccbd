// Reading client.config into a run's settings.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/dns/dns.h"
#include "core/report/reporter.h"
#include "core/session/settings.h"
#include "core/status.h"

namespace morbs {

inline constexpr const char* config_file = "client.config";

// Applies every key found in the file to `settings`, by the rules of each
// setting. The value tells whether a line set INIT_PORT_Q or INIT_PORT_P;
// a missing or unreadable file gives false with the defaults in force.
// A value outside its key's range (a port that is no port, a negative count
// or time, a number beyond its type, TRANSFERS outside 1..8) stops the
// reading with why, naming the key: the caller ends with it rather than run
// on a setting nobody wrote. Host names are resolved as their line is read
// (the name-server listing is said on `reporter`).
Result<bool> read_config(Settings& settings, Reporter& reporter,
                         const std::string& path = config_file, const DnsOptions& dns_options = {});

// One non-comment line of the file; true when it held INIT_PORT_Q or
// INIT_PORT_P. A refused value leaves `settings` as the earlier keys of the
// line made it.
Result<bool> apply_config_line(Settings& settings, const std::string& line, Reporter& reporter,
                               const DnsOptions& dns_options = {});

// Every key a line is searched for, in the order it is: what the README's
// table and client.config(5) must describe, no more and no less.
std::vector<std::string_view> config_keys();

// For a program not yet holding a reporter: says on standard output, and for
// a refused value writes why on standard error and ends the program with
// status 2. -1 when the file cannot be opened or no line set a port key.
int read_config(Settings& settings, const std::string& path = config_file,
                const DnsOptions& dns_options = {});

}  // namespace morbs
