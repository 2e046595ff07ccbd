#include "peers/morbnode/sftp_service.h"

#define WITH_SERVER
#include <libssh/libssh.h>
#include <libssh/server.h>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <thread>

#include "peers/morbnode/node_store.h"
#include "peers/morbnode/sftp_session.h"

namespace morbs::node {

namespace {

// The host key, made at the first start and kept with the node's state.
ssh_key host_key(const std::filesystem::path& root, std::string& error) {
  std::filesystem::create_directories(root / private_dir_name);
  const std::string path = (root / private_dir_name / "host_ed25519").string();
  ssh_key key = nullptr;
  if (std::filesystem::exists(path) &&
      ssh_pki_import_privkey_file(path.c_str(), nullptr, nullptr, nullptr, &key) == SSH_OK)
    return key;
  if (ssh_pki_generate(SSH_KEYTYPE_ED25519, 0, &key) != SSH_OK) {
    error = "cannot make a host key";
    return nullptr;
  }
  // Never readable by others, not even for a moment.
  const mode_t old_mask = umask(077);
  const int exported = ssh_pki_export_privkey_file(key, nullptr, nullptr, nullptr, path.c_str());
  umask(old_mask);
  if (exported != SSH_OK) {
    error = "cannot write the host key " + path;
    ssh_key_free(key);
    return nullptr;
  }
  chmod(path.c_str(), 0600);
  return key;
}

}  // namespace

SftpService::SftpService(const Options& options, std::filesystem::path root)
    : options_(options), root_(std::move(root)) {}

SftpService::~SftpService() {
  if (bind_) ssh_bind_free(bind_);
}

bool SftpService::listen(std::string& error) {
  if (options_.sftp_port == 0) return true;
  ssh_key key = host_key(root_, error);
  if (!key) return false;
  bind_ = ssh_bind_new();
  bool no = false;
  int port = options_.sftp_port;
  ssh_bind_options_set(bind_, SSH_BIND_OPTIONS_PROCESS_CONFIG, &no);
  ssh_bind_options_set(bind_, SSH_BIND_OPTIONS_BINDADDR, "127.0.0.1");
  ssh_bind_options_set(bind_, SSH_BIND_OPTIONS_BINDPORT, &port);
  ssh_bind_options_set(bind_, SSH_BIND_OPTIONS_IMPORT_KEY, key);
  if (ssh_bind_listen(bind_) != SSH_OK) {
    error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + ssh_get_error(bind_);
    return false;
  }
  return true;
}

void SftpService::serve(const std::atomic<bool>& stop) {
  if (!bind_) return;
  const Login login{options_.user, options_.password};
  while (!stop) {
    pollfd p{ssh_bind_get_fd(bind_), POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    ssh_session session = ssh_new();
    if (ssh_bind_accept(bind_, session) != SSH_OK) {
      ssh_free(session);
      continue;
    }
    // Without it every small SFTP packet waits for the peer's acknowledgement.
    int one = 1;
    setsockopt(ssh_get_fd(session), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const int fd = ssh_get_fd(session);
    {
      std::lock_guard<std::mutex> lock(sessions_mutex_);
      session_fds_.insert(fd);
    }
    std::thread([this, session, login, root = root_, fd] {
      run_sftp_session(session, login, root);
      std::lock_guard<std::mutex> lock(sessions_mutex_);
      session_fds_.erase(fd);
    }).detach();
  }
  // Ending the connections makes every session's next read fail, so the
  // session threads, which use this object, end before it goes.
  {
    std::lock_guard<std::mutex> lock(sessions_mutex_);
    for (int fd : session_fds_) shutdown(fd, SHUT_RDWR);
  }
  for (int waited = 0; waited < 5000; waited += 20) {
    {
      std::lock_guard<std::mutex> lock(sessions_mutex_);
      if (session_fds_.empty()) return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace morbs::node
