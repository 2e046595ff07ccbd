#include "peers/netdelay/proxy_options.h"

#include <charconv>
#include <set>

namespace morbs::netdelay {

const char* const proxy_usage_text =
    "usage: netdelay [options] LISTEN:TARGET...\n"
    "  Forwards each port LISTEN on 127.0.0.1 to the port TARGET on 127.0.0.1,\n"
    "  as over a network link of the given shape.\n"
    "  --delay-ms MS      every byte arrives MS ms later, each way (0; at most 60000)\n"
    "  --rate-mbit R      all connections together carry at most R Mbit/s each way\n"
    "                     (no limit; 0.01 to 100000)\n"
    "  --handshake        a new connection reaches its target one and a half round\n"
    "                     trips late, as TCP's handshake over such a link\n"
    "  --buffer-kib K     bytes held back per connection and direction, at most\n"
    "                     (4096; 64 to 262144)\n"
    "usage: netdelay --help | -h\n"
    "  Exit status: 0 stopped by SIGTERM or SIGINT; 1 a port could not be taken;\n"
    "  2 an option it does not take.\n"
    "  See netdelay(1).\n";

namespace {

template <typename T>
bool to_number(std::string_view text, T& out) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

bool is_port(int p) { return p > 0 && p < 65536; }

std::optional<Forward> parse_forward(const std::string& text) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return std::nullopt;
  Forward f;
  if (!to_number(std::string_view(text).substr(0, colon), f.listen_port) ||
      !to_number(std::string_view(text).substr(colon + 1), f.target_port) ||
      !is_port(f.listen_port) || !is_port(f.target_port))
    return std::nullopt;
  return f;
}

}  // namespace

std::optional<ProxyOptions> parse_proxy_options(const std::vector<std::string>& args,
                                                std::string& error) {
  ProxyOptions o;
  std::set<int> listening;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool has_value = i + 1 < args.size();
    bool ok = true;
    if (a == "--handshake") {
      o.handshake = true;
    } else if (a == "--delay-ms") {
      ok = has_value && to_number(args[++i], o.delay_ms) && o.delay_ms >= 0 && o.delay_ms <= 60000;
    } else if (a == "--rate-mbit") {
      double rate = 0;
      ok = has_value && to_number(args[++i], rate) && rate >= 0.01 && rate <= 100000;
      if (ok) o.rate_mbit = rate;
    } else if (a == "--buffer-kib") {
      size_t kib = 0;
      ok = has_value && to_number(args[++i], kib) && kib >= 64 && kib <= 262144;
      if (ok) o.buffer_bytes = kib * 1024;
    } else if (a.starts_with("-")) {
      error = "unknown option: " + a;
      return std::nullopt;
    } else {
      auto forward = parse_forward(a);
      if (!forward) {
        error = "not LISTEN:TARGET with two ports: " + a;
        return std::nullopt;
      }
      if (!listening.insert(forward->listen_port).second) {
        error = "port " + std::to_string(forward->listen_port) + " is given twice";
        return std::nullopt;
      }
      o.forwards.push_back(*forward);
      continue;
    }
    if (!ok) {
      error = "bad or missing value for " + a;
      return std::nullopt;
    }
  }
  if (o.forwards.empty()) {
    error = "nothing to forward";
    return std::nullopt;
  }
  // A target that is one of our own ports would forward into itself forever.
  for (const Forward& f : o.forwards)
    if (listening.count(f.target_port)) {
      error = "port " + std::to_string(f.target_port) + " is both listened on and a target";
      return std::nullopt;
    }
  return o;
}

}  // namespace morbs::netdelay
