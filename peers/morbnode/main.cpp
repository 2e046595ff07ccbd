// morbnode: one storage node of a local data network. A query port and an
// SFTP service over a directory of its own.
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "core/op_message.h"
#include "peers/morbnode/node_store.h"
#include "peers/morbnode/options.h"
#include "peers/morbnode/query_service.h"
#include "peers/morbnode/sftp_service.h"

namespace {

std::atomic<bool> stop_requested{false};

void on_signal(int) { stop_requested = true; }

// "--ask PORT REQUEST": one exchange with the node on 127.0.0.1:PORT; the
// reply on standard output. For scripts that wait until a node answers.
int ask(const std::vector<std::string>& args) {
  if (args.size() != 3) {
    std::fputs("usage: morbnode --ask PORT REQUEST\n", stderr);
    return 2;
  }
  std::string message = args[2];
  if (morbs::op_message("127.0.0.1", std::atoi(args[1].c_str()), message, 0, {1, 0}) != 0) return 1;
  std::puts(message.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace morbs::node;
  // First of all: a stop asked for during start-up still ends cleanly.
  std::signal(SIGPIPE, SIG_IGN);
  struct sigaction action{};
  action.sa_handler = on_signal;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
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
  NodeStore store(*options);
  QueryService queries(*options, store);
  SftpService sftp(*options, store.root());
  // --sftp-off: the port stays advertised, so clients meet a refused connection.
  const bool run_sftp = !options->sftp_off;
  if (!store.open(error) || !queries.listen(error) || (run_sftp && !sftp.listen(error))) {
    std::fprintf(stderr, "morbnode: %s\n", error.c_str());
    return 1;
  }

  std::thread sftp_thread([&] { sftp.serve(stop_requested); });
  queries.serve(stop_requested);
  sftp_thread.join();
  return 0;
}
