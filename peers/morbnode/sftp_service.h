// The node's SFTP service: SSH with one password login, files under the root.
#pragma once

#include <atomic>
#include <deque>
#include <list>
#include <memory>
#include <string>
#include <thread>

#include "peers/morbnode/node_store.h"
#include "peers/morbnode/options.h"
#include "peers/morbnode/sftp_session.h"

struct ssh_bind_struct;
struct ssh_session_struct;

namespace morbs::node {

// The descriptors one session may hold.
inline constexpr long sftp_session_descriptors = max_open_handles + 2;

// Logins beyond the sessions served at once wait for a free one, oldest
// first, for the node's queue wait at most; then their connection is closed.
class SftpService {
 public:
  // `max_sessions` served at once, `max_waiting` connections held waiting;
  // every login appended to `log`.
  SftpService(const Options& options, NodeStore& store, NodeLog& log, int max_sessions, int max_waiting);
  ~SftpService();
  SftpService(const SftpService&) = delete;
  SftpService& operator=(const SftpService&) = delete;

  // Nothing to do when the node has no SFTP port. False with the reason.
  bool listen(std::string& error);
  // Serves every connection in a thread of its own until `stop`; returns
  // after every session thread has been joined.
  void serve(const std::atomic<bool>& stop);

 private:
  struct Running {
    explicit Running(int fd) : socket(fd) {}
    std::thread thread;
    SessionSocket socket;
    std::atomic<bool> done{false};
  };
  struct Waiting {
    ssh_session_struct* session;
    int64_t since_ms;  // steady clock
  };
  // Sets what the listening bind offers every session.
  bool offer(const SshAlgorithms& algorithms, std::string& error);
  void reap(bool all);
  void send_away_idle();
  void accept_one();
  void start_waiting(const Login& login);
  void start(ssh_session_struct* session, const Login& login);
  void close_waiting(bool all);

  const Options& options_;
  NodeStore& store_;
  OpenFaults open_faults_;
  SessionShared shared_;  // handed to every session
  const int max_sessions_, max_waiting_;
  ssh_bind_struct* bind_ = nullptr;
  std::list<std::unique_ptr<Running>> sessions_;
  std::deque<Waiting> waiting_;
};

}  // namespace morbs::node
