// The node's SFTP service: SSH with one password login, files under the root.
#pragma once

#include <atomic>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>

#include "peers/morbnode/options.h"

struct ssh_bind_struct;

namespace morbs::node {

class SftpService {
 public:
  SftpService(const Options& options, std::filesystem::path root);
  ~SftpService();
  SftpService(const SftpService&) = delete;
  SftpService& operator=(const SftpService&) = delete;

  // Nothing to do when the node has no SFTP port. False with the reason.
  bool listen(std::string& error);
  // Serves every connection in a thread of its own until `stop`.
  void serve(const std::atomic<bool>& stop);

 private:
  const Options& options_;
  std::filesystem::path root_;
  ssh_bind_struct* bind_ = nullptr;
  std::mutex sessions_mutex_;
  std::set<int> session_fds_;  // sockets of the running sessions
};

}  // namespace morbs::node
