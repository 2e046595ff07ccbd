#include "peers/morbnode/sftp_service.h"

#define WITH_SERVER
#include <libssh/libssh.h>
#include <libssh/server.h>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <chrono>

namespace morbs::node {

namespace {

// After the descriptors ran out, accepting waits this long instead of spinning.
constexpr int accept_pause_ms = 100;

// The host key, made at the first start and kept with the node's state.
ssh_key host_key(const std::filesystem::path& root, std::string& error) {
  std::error_code ec;
  std::filesystem::create_directories(root / private_dir_name, ec);
  const std::string path = (root / private_dir_name / "host_ed25519").string();
  ssh_key key = nullptr;
  if (std::filesystem::exists(path, ec) &&
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

SftpService::SftpService(const Options& options, NodeStore& store, NodeLog& log, int max_sessions,
                         int max_waiting)
    : options_(options),
      store_(store),
      open_faults_(options),
      shared_{store, open_faults_, log},
      max_sessions_(std::max(1, max_sessions)),
      max_waiting_(std::max(0, max_waiting)) {}

SftpService::~SftpService() {
  reap(true);
  close_waiting(true);
  if (bind_) ssh_bind_free(bind_);
}

bool SftpService::listen(std::string& error) {
  if (options_.sftp_port == 0) return true;
  ssh_key key = host_key(store_.root(), error);
  if (!key) return false;
  bind_ = ssh_bind_new();
  bool no = false;
  int port = options_.sftp_port;
  ssh_bind_options_set(bind_, SSH_BIND_OPTIONS_PROCESS_CONFIG, &no);
  ssh_bind_options_set(bind_, SSH_BIND_OPTIONS_BINDADDR, "127.0.0.1");
  ssh_bind_options_set(bind_, SSH_BIND_OPTIONS_BINDPORT, &port);
  ssh_bind_options_set(bind_, SSH_BIND_OPTIONS_IMPORT_KEY, key);
  if (!offer(options_.ssh_algorithms, error)) return false;
  if (ssh_bind_listen(bind_) != SSH_OK) {
    error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + ssh_get_error(bind_);
    return false;
  }
  return true;
}

bool SftpService::offer(const SshAlgorithms& algorithms, std::string& error) {
  const struct {
    ssh_bind_options_e option;
    const std::string& list;
  } offers[] = {
      {SSH_BIND_OPTIONS_KEY_EXCHANGE, algorithms.key_exchange},
      {SSH_BIND_OPTIONS_CIPHERS_C_S, algorithms.ciphers},
      {SSH_BIND_OPTIONS_CIPHERS_S_C, algorithms.ciphers},
      {SSH_BIND_OPTIONS_HMAC_C_S, algorithms.macs},
      {SSH_BIND_OPTIONS_HMAC_S_C, algorithms.macs},
  };
  for (const auto& o : offers) {
    if (ssh_bind_options_set(bind_, o.option, o.list.c_str()) != SSH_OK) {
      error = "cannot offer " + o.list + ": " + ssh_get_error(bind_);
      return false;
    }
  }
  return true;
}

// Joins the session threads that have ended (all of them when `all`).
void SftpService::reap(bool all) {
  for (auto it = sessions_.begin(); it != sessions_.end();) {
    if (all || (*it)->done) {
      (*it)->thread.join();
      it = sessions_.erase(it);
    } else {
      ++it;
    }
  }
}

// A client that has not logged in within the limit, or has gone quiet, frees
// its slot: its session sees the connection end and finishes.
void SftpService::send_away_idle() {
  const int64_t now = steady_ms();
  for (auto& r : sessions_) {
    const int64_t quiet = now - r->socket.last_activity_ms;
    if ((!r->socket.logged_in && quiet > login_limit_ms) || quiet > idle_limit_ms) r->socket.shutdown();
  }
}

// Closes the waiting connections that have waited their time (all of them
// when `all`); the oldest are at the front.
void SftpService::close_waiting(bool all) {
  const int64_t limit_ms = options_.sftp_queue_wait_s * 1000;
  while (!waiting_.empty() && (all || steady_ms() - waiting_.front().since_ms >= limit_ms)) {
    ssh_free(waiting_.front().session);
    waiting_.pop_front();
  }
}

void SftpService::start(ssh_session session, const Login& login) {
  // Without it every small SFTP packet waits for the peer's acknowledgement.
  const int fd = ssh_get_fd(session);
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  auto running = std::make_unique<Running>(fd);
  Running* r = running.get();
  running->thread = std::thread([this, session, login, r] {
    run_sftp_session(session, login, shared_, r->socket);
    r->done = true;
  });
  sessions_.push_back(std::move(running));
}

void SftpService::start_waiting(const Login& login) {
  while (!waiting_.empty() && static_cast<int>(sessions_.size()) < max_sessions_) {
    start(waiting_.front().session, login);
    waiting_.pop_front();
  }
}

void SftpService::accept_one() {
  ssh_session session = ssh_new();
  if (!session) {
    poll(nullptr, 0, accept_pause_ms);
    return;
  }
  if (ssh_bind_accept(bind_, session) != SSH_OK) {
    // Out of descriptors: the connection stays queued; try again later.
    ssh_free(session);
    poll(nullptr, 0, accept_pause_ms);
    return;
  }
  waiting_.push_back({session, steady_ms()});
}

void SftpService::serve(const std::atomic<bool>& stop) {
  if (!bind_) return;
  const Login login{options_.user, options_.password};
  while (!stop) {
    reap(false);
    send_away_idle();
    start_waiting(login);
    close_waiting(false);
    // As many held as the descriptors allow; beyond, clients wait in the
    // listen backlog.
    const bool room = static_cast<int>(waiting_.size()) < max_waiting_ ||
                      static_cast<int>(sessions_.size()) < max_sessions_;
    pollfd p{room ? ssh_bind_get_fd(bind_) : -1, POLLIN, 0};
    // Short waits: a session's slot is handed on soon after it ends.
    if (poll(&p, 1, 20) > 0) accept_one();
  }
  // Ending the connections makes every session's next read fail, so each
  // session thread ends and is joined here.
  close_waiting(true);
  for (auto& r : sessions_) r->socket.shutdown();
  reap(true);
}

}  // namespace morbs::node
