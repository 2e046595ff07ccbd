// select_value, check_string and read_config on arbitrary text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/session/config.h"
#include "core/wire/query_string.h"
#include "fuzz/fuzz_workdir.h"

namespace {

// Host names in the text must never reach a name server: no resolv.conf, and
// a fallback that is no address, so every query fails before it is sent.
morbs::DnsOptions no_name_server() {
  morbs::DnsOptions options;
  options.resolv_conf_path = "no-resolv.conf";
  options.fallback_server = "";
  options.port = 9;
  options.reply_wait_ms = 0;
  return options;
}

void check_lookup(std::string_view text, std::string_view key) {
  std::string value = "x";
  int found = morbs::select_value(text, key, value);
  if (found != 0 && value != morbs::absent) __builtin_trap();
  if (found == 0 && value.size() > text.size()) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  morbs::fuzz::enter_scratch_directory();
  constexpr std::string_view seed =
      "IP_ADDR=127.0.0.1&\nINIT_PORT_Q=9201&INIT_PORT_P=9901&\n# comment\n"
      "MIN_SIZE=5&INSTALLED_SERVERS=2&MATRIX_MODE=1&\nTMIMEOUT_SEC=3&TMIMEOUT_USEC=200000&\n"
      "IP_ADDR=node.test&\nTEST=1&\n";
  morbs::fuzz::write_seed("config", seed.data(), seed.size());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);

  // The first line is the key, the rest the query string it is looked up in.
  size_t end_of_key = text.find('\n');
  if (end_of_key != std::string_view::npos)
    check_lookup(text.substr(end_of_key + 1), text.substr(0, end_of_key));
  for (std::string_view key : {"IP_ADDR", "INIT_PORT_Q", "TEST", "OP", ""})
    check_lookup(text, key);
  (void)morbs::check_string(text);

  morbs::fuzz::write_file("client.config", data, size);
  for (morbs::Program program :
       {morbs::Program::pullbox, morbs::Program::pushbox, morbs::Program::erasebox}) {
    morbs::Settings settings = morbs::Settings::defaults(program);
    morbs::RecordingReporter reporter;
    // A refused value ends the reading; what was taken so far must still hold.
    (void)morbs::read_config(settings, reporter, "client.config", no_name_server());
    if (settings.ip_addr.size() > morbs::ip_addr_limit) __builtin_trap();
    if (settings.timeout_seconds > 30 || settings.timeout_microsec < 100000 ||
        settings.timeout_microsec > 990000 || settings.min_fsize < 1 ||
        settings.curr_nr_serv > settings.installed_servers_cap() || settings.curr_nr_serv < 1 ||
        settings.init_port < 1 || settings.init_port > 65532 || settings.transfers < 1 ||
        settings.transfers > morbs::transfers_limit || settings.timeout_seconds < 0)
      __builtin_trap();
  }
  return 0;
}
