#include "core/session/config.h"

#include <cstdio>
#include <memory>

#include "core/wire/number_text.h"
#include "core/wire/query_string.h"
#include "platform/regular_file.h"

namespace morbs {

namespace {

constexpr int64_t min_fsize_fallback = 1073741824;  // 2^30
constexpr size_t line_chunk = 999;

void apply_ip_addr(Settings& s, const std::string& value, const DnsOptions& dns_options) {
  std::string resolved;
  dns(value, resolved, dns_options);
  // A longer text is no address the exchange could use.
  s.ip_addr = resolved.size() > ip_addr_limit ? std::string(empty_slot) : resolved;
}

void apply_min_size(Settings& s, const std::string& value) {
  auto v = to_int64(value);
  s.min_fsize = (!v || *v < 1) ? min_fsize_fallback : *v;
}

void apply_installed_servers(Settings& s, const std::string& value) {
  int v = to_int(value);
  int cap = s.installed_servers_cap();
  s.curr_nr_serv = (v == 0 || v > cap) ? cap : v;
}

void apply_timeout_seconds(Settings& s, const std::string& value) {
  long v = to_long(value);
  s.timeout_seconds = static_cast<int>(v > 30 ? 30 : (v < INT32_MIN ? INT32_MIN : v));
}

void apply_timeout_microseconds(Settings& s, const std::string& value) {
  long v = to_long(value);
  s.timeout_microsec = static_cast<int>(v <= 99999 ? 100000 : (v > 990000 ? 990000 : v));
}

// Outside 1..8 holds at the nearer end; a text that is no number keeps one.
void apply_transfers(Settings& s, const std::string& value) {
  int v = to_int(value);
  s.transfers = v < 1 ? 1 : (v > transfers_limit ? transfers_limit : v);
}

// Reads like fgets into a 1000-byte buffer: a longer line comes as several.
bool next_chunk(std::FILE* f, std::string& line) {
  line.clear();
  int c;
  while (line.size() < line_chunk && (c = std::fgetc(f)) != EOF) {
    line += static_cast<char>(c);
    if (c == '\n') break;
  }
  return !line.empty();
}

}  // namespace

bool apply_config_line(Settings& s, const std::string& line, const DnsOptions& dns_options) {
  std::string value;
  bool valid = false;
  if (select_value(line, "IP_ADDR", value) == 0) apply_ip_addr(s, value, dns_options);
  if (select_value(line, "INIT_PORT_Q", value) == 0) {
    s.init_port = to_int(value);
    valid = true;
  }
  if (select_value(line, "INIT_PORT_P", value) == 0) {
    s.init_port_p = to_int(value);
    valid = true;
  }
  if (select_value(line, "MIN_SIZE", value) == 0) apply_min_size(s, value);
  if (select_value(line, "INSTALLED_SERVERS", value) == 0) apply_installed_servers(s, value);
  if (select_value(line, "TMIMEOUT_SEC", value) == 0) apply_timeout_seconds(s, value);
  if (select_value(line, "TMIMEOUT_USEC", value) == 0) apply_timeout_microseconds(s, value);
  if (select_value(line, "MATRIX_MODE", value) == 0) s.mat_mode = to_int(value);
  if (select_value(line, "TRANSFERS", value) == 0) apply_transfers(s, value);
  // Every line decides the verbose flag, so the last line has the final word.
  s.test = (select_value(line, "TEST", value) == 0 && value == "1") ? 1 : 0;
  return valid;
}

int read_config(Settings& s, const std::string& path, const DnsOptions& dns_options) {
  // A FIFO named client.config would hold the program before its first line.
  if (!platform::is_regular_file(path)) return -1;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "r"), std::fclose);
  if (!file) return -1;
  bool valid = false;
  std::string line;
  while (next_chunk(file.get(), line)) {
    line = line.substr(0, line.find('\n'));
    if (!line.empty() && line[0] == '#') continue;
    if (apply_config_line(s, line, dns_options)) valid = true;
  }
  return valid ? 0 : -1;
}

}  // namespace morbs
