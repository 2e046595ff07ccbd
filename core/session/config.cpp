#include "core/session/config.h"

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>

#include "core/report/terminal_text.h"
#include "core/wire/number_text.h"
#include "core/wire/query_string.h"
#include "platform/console.h"
#include "platform/regular_file.h"

namespace morbs {

namespace {

constexpr int64_t min_fsize_fallback = 1073741824;  // 2^30
constexpr size_t line_chunk = 999;
// Node i of four answers on init_port + i.
constexpr int64_t highest_port = 65535;
constexpr int64_t node_count = 4;

// The bounds a key's number must keep, before the key's own rule maps it.
struct Range {
  int64_t low;
  int64_t high;
};

constexpr int64_t int_max = std::numeric_limits<int>::max();
constexpr int64_t int_min = std::numeric_limits<int>::min();

// The number by the atoi rules, or why it is refused: beyond 64 bits or
// outside `range`.
Result<int64_t> number_in_range(std::string_view key, const std::string& value, Range range) {
  std::optional<int64_t> number = to_int64(value);
  if (number && *number >= range.low && *number <= range.high) return *number;
  return Status::failure(format_text("client.config: %.*s=%s is out of range (%lld..%lld), refused",
                                     static_cast<int>(key.size()), key.data(),
                                     shown_on_terminal(value).c_str(),
                                     static_cast<long long>(range.low),
                                     static_cast<long long>(range.high)));
}

void apply_ip_addr(Settings& s, const std::string& value, Reporter& reporter,
                   const DnsOptions& dns_options) {
  Result<std::string> resolved = dns(value, reporter, dns_options);
  // A longer text is no address the exchange could use.
  s.ip_addr = !resolved || resolved->size() > ip_addr_limit ? std::string(empty_slot) : *resolved;
}

using Apply = void (*)(Settings&, int64_t);

void apply_init_port(Settings& s, int64_t v) { s.init_port = static_cast<int>(v); }
void apply_init_port_p(Settings& s, int64_t v) { s.init_port_p = static_cast<int>(v); }
void apply_min_size(Settings& s, int64_t v) { s.min_fsize = v; }
void apply_installed_servers(Settings& s, int64_t v) {
  const int cap = s.installed_servers_cap();
  s.curr_nr_serv = (v == 0 || v > cap) ? cap : static_cast<int>(v);
}
void apply_timeout_seconds(Settings& s, int64_t v) { s.timeout_seconds = static_cast<int>(v > 30 ? 30 : v); }
void apply_timeout_microseconds(Settings& s, int64_t v) {
  s.timeout_microsec = static_cast<int>(v <= 99999 ? 100000 : (v > 990000 ? 990000 : v));
}
void apply_matrix_mode(Settings& s, int64_t v) { s.mat_mode = static_cast<int>(v); }
void apply_transfers(Settings& s, int64_t v) { s.transfers = static_cast<int>(v); }
void apply_answer_wait(Settings& s, int64_t v) { s.answer_wait_ms = static_cast<int>(v); }
void apply_stall(Settings& s, int64_t v) { s.stall_seconds = static_cast<int>(v); }

struct NumberKey {
  const char* key;
  Range range;
  Apply apply;
  bool marks_valid;
};

// In the order the keys are looked up in a line.
const NumberKey number_keys[] = {
    {"INIT_PORT_Q", {1, highest_port - (node_count - 1)}, apply_init_port, true},
    {"INIT_PORT_P", {1, highest_port}, apply_init_port_p, true},
    {"MIN_SIZE", {1, std::numeric_limits<int64_t>::max()}, apply_min_size, false},
    {"INSTALLED_SERVERS", {0, int_max}, apply_installed_servers, false},
    {"TMIMEOUT_SEC", {0, int_max}, apply_timeout_seconds, false},
    {"TMIMEOUT_USEC", {0, int_max}, apply_timeout_microseconds, false},
    {"MATRIX_MODE", {int_min, int_max}, apply_matrix_mode, false},
    {"TRANSFERS", {1, transfers_limit}, apply_transfers, false},
    {"ANSWER_WAIT_MS", {300, 60000}, apply_answer_wait, false},
    {"STALL_SEC", {1, 3600}, apply_stall, false},
};

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

Result<bool> apply_config_line(Settings& s, const std::string& line, Reporter& reporter,
                               const DnsOptions& dns_options) {
  std::string value;
  bool valid = false;
  if (select_value(line, "IP_ADDR", value) == 0) apply_ip_addr(s, value, reporter, dns_options);
  for (const NumberKey& k : number_keys) {
    if (select_value(line, k.key, value) != 0) continue;
    Result<int64_t> number = number_in_range(k.key, value, k.range);
    if (!number) return number.status();
    k.apply(s, *number);
    valid = valid || k.marks_valid;
  }
  // Every line decides the verbose flag, so the last line has the final word.
  s.test = (select_value(line, "TEST", value) == 0 && value == "1") ? 1 : 0;
  return valid;
}

Result<bool> read_config(Settings& s, Reporter& reporter, const std::string& path,
                         const DnsOptions& dns_options) {
  // A FIFO named client.config would hold the program before its first line.
  if (!platform::is_regular_file(path)) return false;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "r"), std::fclose);
  if (!file) return false;
  bool valid = false;
  std::string line;
  while (next_chunk(file.get(), line)) {
    line = line.substr(0, line.find('\n'));
    if (!line.empty() && line[0] == '#') continue;
    Result<bool> applied = apply_config_line(s, line, reporter, dns_options);
    if (!applied) return applied.status();
    valid = valid || *applied;
  }
  return valid;
}

std::vector<std::string_view> config_keys() {
  std::vector<std::string_view> keys = {"IP_ADDR"};
  for (const NumberKey& k : number_keys) keys.push_back(k.key);
  keys.push_back("TEST");
  return keys;
}

int read_config(Settings& s, const std::string& path, const DnsOptions& dns_options) {
  ConsoleReporter reporter(true);
  Result<bool> read = read_config(s, reporter, path, dns_options);
  if (!read) {
    reporter.flush();
    platform::write_stderr(read.why() + "\n");
    std::exit(2);
  }
  return *read ? 0 : -1;
}

}  // namespace morbs
