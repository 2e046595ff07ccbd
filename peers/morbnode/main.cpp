// morbnode: one storage node of a local data network. A query port and an
// SFTP service over a directory of its own.
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "core/version.h"
#include "core/wire/op_message.h"
#include "peers/morbnode/node_log.h"
#include "peers/morbnode/node_store.h"
#include "peers/morbnode/options.h"
#include "peers/morbnode/query_service.h"
#include "peers/morbnode/sftp_service.h"

#include "platform/stop_signals.h"

namespace {



// "--ask PORT REQUEST": one exchange with the node on 127.0.0.1:PORT; the
// reply on standard output. For scripts that wait until a node answers.
int ask(const std::vector<std::string>& args) {
  if (args.size() != 3) {
    std::fputs("usage: morbnode --ask PORT REQUEST\n", stderr);
    return 2;
  }
  std::string message = args[2];
  // A script asks a node that may be busy with a run: it waits for the
  // answer far longer than a client's first answer wait.
  morbs::ConnectionWait wait{1, 0};
  wait.answer_ms = 10000;
  if (morbs::op_message("127.0.0.1", std::atoi(args[1].c_str()), message, 0, wait) != 0) return 1;
  std::puts(message.c_str());
  return 0;
}

// The descriptors the node may use, shared out so that neither service can
// starve the other: each SFTP session may hold its socket and its handles.
struct Budget {
  int query_connections, sftp_sessions, sftp_waiting;
};

Budget descriptor_budget(const morbs::node::Options& options) {
  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  if (limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    getrlimit(RLIMIT_NOFILE, &limit);
  }
  constexpr long reserve = 32;  // standard streams, listeners, pipes, files being written
  const long total = static_cast<long>(std::min<rlim_t>(limit.rlim_cur, 100000)) - reserve;
  const bool sftp = options.sftp_port != 0 && !options.sftp_off;
  const long per_session = morbs::node::sftp_session_descriptors;
  const long sessions = sftp ? std::clamp<long>(total / 3 / per_session, 1, options.sftp_sessions) : 0;
  // A waiting login holds its connection only.
  const long waiting = sftp ? std::clamp<long>(total / 6, 8, 1024) : 0;
  const long query = std::clamp<long>(total - sessions * per_session - waiting, 8, 1024);
  return {static_cast<int>(query), static_cast<int>(sessions), static_cast<int>(waiting)};
}

}  // namespace

int main(int argc, char** argv) {
  if (morbs::asks_for_version(argc, argv)) {
    std::fputs(morbs::version_text("morbnode").c_str(), stdout);
    return 0;
  }
  using namespace morbs::node;
  // First of all: a stop asked for during start-up still ends cleanly.
  const std::atomic<bool>& stop_requested = morbs::platform::stop_on_signals();
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(usage_text, stdout);
    return 0;
  }
  if (!args.empty() && args[0] == "--ask") return ask(args);
  std::string error;
  auto options = parse_options(args, error);
  if (!options) {
    std::fprintf(stderr, "morbnode: %s\n%s", error.c_str(), usage_text);
    return 2;
  }
  if (options->disk_full_at) {
    // A write past the limit fails with EFBIG instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit size{static_cast<rlim_t>(*options->disk_full_at), static_cast<rlim_t>(*options->disk_full_at)};
    setrlimit(RLIMIT_FSIZE, &size);
  }
  const Budget budget = descriptor_budget(*options);
  NodeStore store(*options);
  NodeLog log(options->log_path);
  QueryService queries(*options, store, log, budget.query_connections);
  SftpService sftp(*options, store, log, budget.sftp_sessions, budget.sftp_waiting);
  // --sftp-off: the port stays advertised, so clients meet a refused connection.
  const bool run_sftp = !options->sftp_off;
  // The query port last: a node that answers there serves SFTP as well.
  if (!store.open(error) || (run_sftp && !sftp.listen(error)) || !queries.listen(error)) {
    std::fprintf(stderr, "morbnode: %s\n", error.c_str());
    return 1;
  }

  std::thread sftp_thread([&] { sftp.serve(stop_requested); });
  queries.serve(stop_requested);
  sftp_thread.join();
  return 0;
}
