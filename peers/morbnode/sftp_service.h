// The node's SFTP service: SSH with one password login, files under the root.
#pragma once

#include <atomic>
#include <list>
#include <memory>
#include <string>
#include <thread>

#include "peers/morbnode/node_store.h"
#include "peers/morbnode/options.h"
#include "peers/morbnode/sftp_session.h"

struct ssh_bind_struct;

namespace morbs::node {

// Sessions served at once, and the descriptors one session may hold.
inline constexpr long max_sftp_sessions = 8;
inline constexpr long sftp_session_descriptors = max_open_handles + 2;

class SftpService {
 public:
  SftpService(const Options& options, NodeStore& store, int max_sessions);
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
  void reap(bool all);
  void send_away_idle();

  const Options& options_;
  NodeStore& store_;
  const int max_sessions_;
  ssh_bind_struct* bind_ = nullptr;
  std::list<std::unique_ptr<Running>> sessions_;
};

}  // namespace morbs::node
