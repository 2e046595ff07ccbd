// netdelay: a forwarding proxy on loopback that stands for a network link,
// so that a local data network can be tried as over a real one: every byte
// arrives some milliseconds late, and all connections share one rate.
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "peers/netdelay/proxy.h"
#include "peers/netdelay/proxy_options.h"

#include "platform/stop_signals.h"

namespace {



// Two descriptors a connection; the rest of the soft limit is raised to the
// hard one first.
size_t relay_budget() {
  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  if (limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    getrlimit(RLIMIT_NOFILE, &limit);
  }
  constexpr rlim_t reserve = 32;  // standard streams, the poller, the listeners
  const rlim_t usable = std::min<rlim_t>(limit.rlim_cur, 20000);
  return usable > reserve + 2 ? static_cast<size_t>((usable - reserve) / 2) : 1;
}

std::string describe(const morbs::netdelay::ProxyOptions& o) {
  // Scripts wait for this line: the proxy listens on every port.
  std::string text = "netdelay: forwarding";
  for (const auto& f : o.forwards)
    text += " " + std::to_string(f.listen_port) + "->" + std::to_string(f.target_port);
  text += ", " + std::to_string(o.delay_ms) + " ms each way";
  if (o.rate_mbit) {
    std::ostringstream rate;
    rate << *o.rate_mbit;
    text += ", " + rate.str() + " Mbit/s each way";
  }
  if (o.handshake) text += ", connections set up in a round trip";
  return text + "\n";
}

}  // namespace

int main(int argc, char** argv) {
  using namespace morbs::netdelay;
  const std::atomic<bool>& stop_requested = morbs::platform::stop_on_signals();
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(proxy_usage_text, stdout);
    return 0;
  }
  std::string error;
  auto options = parse_proxy_options(args, error);
  if (!options) {
    std::fprintf(stderr, "netdelay: %s\n%s", error.c_str(), proxy_usage_text);
    return 2;
  }
  Proxy proxy(*options, relay_budget());
  if (!proxy.listen(error)) {
    std::fprintf(stderr, "netdelay: %s\n", error.c_str());
    return 1;
  }
  std::fputs(describe(*options).c_str(), stdout);
  std::fflush(stdout);
  proxy.serve(stop_requested);
  return 0;
}
