// One SSH connection of the SFTP service, from key exchange to close.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "peers/morbnode/node_log.h"
#include "peers/morbnode/node_store.h"
#include "peers/morbnode/open_faults.h"

struct ssh_session_struct;

namespace morbs::node {

// Open files and directories one session may hold: a client cannot use up
// the node's descriptors.
inline constexpr size_t max_open_handles = 64;

// A client that has not logged in by then is sent away.
inline constexpr int login_limit_ms = 5000;
// A logged-in client that sends nothing for this long is sent away too.
inline constexpr int idle_limit_ms = 120000;

int64_t steady_ms();

struct Login {
  std::string user, password;
};

// The socket of a running session, for a stop from another thread: shut
// down only while the session still owns it.
class SessionSocket {
 public:
  explicit SessionSocket(int fd);
  void shutdown();
  void forget();  // the session is about to close it
  // Returns once the peer has closed the connection or shutdown() was called;
  // called only by the session that owns the socket.
  void wait_until_gone();

  // For the service's watchdog: a session not logged in within the login
  // limit, or idle for long, is shut down.
  std::atomic<bool> logged_in{false};
  std::atomic<int64_t> last_activity_ms;  // steady clock
  void touch();

 private:
  std::mutex mutex_;
  int fd_;
  bool shut_ = false;
};

// What every session of the node shares.
struct SessionShared {
  NodeStore& store;
  OpenFaults& open_faults;
  NodeLog& log;  // a successful login appends "SFTP login"
};

// Serves the session until the client closes it or goes away, then frees it.
// Any number of SFTP channels one after the other; files by the store's policy.
void run_sftp_session(ssh_session_struct* session, const Login& login, SessionShared& shared,
                      SessionSocket& socket);

}  // namespace morbs::node
