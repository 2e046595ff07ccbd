#include "peers/morbnode/sftp_session.h"

#define WITH_SERVER
#include <libssh/callbacks.h>
#include <libssh/libssh.h>
#include <libssh/server.h>
#include <libssh/sftp.h>

#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <map>
#include <optional>
#include <string_view>
#include <memory>
#include <vector>

#include "peers/morbnode/sftp_paths.h"
#include "peers/morbnode/upload_digest.h"

namespace morbs::node {

namespace {

constexpr uint32_t read_cap = 256 * 1024;

struct Context {
  Login login;
  NodeLog* log = nullptr;
  SessionSocket* socket = nullptr;
  ssh_channel channel = nullptr;
  bool sftp_requested = false;
  int failed_logins = 0;
  ssh_channel_callbacks_struct channel_callbacks{};
};

int on_password(ssh_session, const char* user, const char* password, void* data) {
  auto* c = static_cast<Context*>(data);
  if (c->login.user == user && c->login.password == password) {
    c->socket->logged_in = true;
    // One line per connection: tests count how many a run opened.
    c->log->append("SFTP login");
    return SSH_AUTH_SUCCESS;
  }
  ++c->failed_logins;
  return SSH_AUTH_DENIED;
}

int on_subsystem(ssh_session, ssh_channel, const char* subsystem, void* data) {
  auto* c = static_cast<Context*>(data);
  if (std::strcmp(subsystem, "sftp") != 0) return SSH_ERROR;
  c->sftp_requested = true;
  return SSH_OK;
}

ssh_channel on_channel_open(ssh_session session, void* data) {
  auto* c = static_cast<Context*>(data);
  if (c->channel) return nullptr;
  c->channel = ssh_channel_new(session);
  c->channel_callbacks.userdata = c;
  c->channel_callbacks.channel_subsystem_request_function = on_subsystem;
  ssh_callbacks_init(&c->channel_callbacks);
  ssh_set_channel_callbacks(c->channel, &c->channel_callbacks);
  return c->channel;
}

uint32_t status_of_errno(int e) {
  switch (e) {
    case ENOENT: case ENOTDIR: return SSH_FX_NO_SUCH_FILE;
    case EACCES: case EPERM: case ELOOP: return SSH_FX_PERMISSION_DENIED;
    case EEXIST: return SSH_FX_FILE_ALREADY_EXISTS;
    default: return SSH_FX_FAILURE;
  }
}

void fill_attributes(const struct stat& st, sftp_attributes_struct& a) {
  std::memset(&a, 0, sizeof a);
  a.flags = SSH_FILEXFER_ATTR_SIZE | SSH_FILEXFER_ATTR_UIDGID | SSH_FILEXFER_ATTR_PERMISSIONS |
            SSH_FILEXFER_ATTR_ACMODTIME;
  a.size = static_cast<uint64_t>(st.st_size);
  a.uid = st.st_uid;
  a.gid = st.st_gid;
  a.permissions = st.st_mode;
  a.atime = static_cast<uint32_t>(st.st_atime);
  a.mtime = static_cast<uint32_t>(st.st_mtime);
}

std::string long_name(const std::string& name, const struct stat& st) {
  char line[512];
  std::snprintf(line, sizeof line, "%crw-r--r--    1 %u %u %12lld Jan  1 00:00 %s",
                S_ISDIR(st.st_mode) ? 'd' : '-', st.st_uid, st.st_gid,
                static_cast<long long>(st.st_size), name.c_str());
  return line;
}

// Open files and directories of one session, by our own numbers.
class Handles {
 public:
  struct Entry {
    int fd = -1;
    DIR* dir = nullptr;
    std::string path;
    bool writable = false;  // opened for writing under a reservation
    std::optional<UploadDigest> upload;  // with writable
    bool appending = false;  // every write goes to the end, whatever its offset
  };
  ~Handles() {
    for (auto& [id, e] : entries_) close(e);
  }
  // nullptr when the session holds too many: a client cannot use up the
  // node's descriptors.
  ssh_string add(Entry e) {
    if (entries_.size() >= max_open_handles) {
      close(e);
      return nullptr;
    }
    uint32_t id = next_++;
    entries_[id] = std::move(e);
    ssh_string s = ssh_string_new(sizeof id);
    ssh_string_fill(s, &id, sizeof id);
    return s;
  }
  Entry* find(ssh_string handle) {
    if (!handle || ssh_string_len(handle) != sizeof(uint32_t)) return nullptr;
    uint32_t id;
    std::memcpy(&id, ssh_string_data(handle), sizeof id);
    auto it = entries_.find(id);
    return it == entries_.end() ? nullptr : &it->second;
  }
  bool remove(ssh_string handle) {
    Entry* e = find(handle);
    if (!e) return false;
    uint32_t id;
    std::memcpy(&id, ssh_string_data(handle), sizeof id);
    const bool ok = close(*e);
    entries_.erase(id);
    return ok;
  }

 private:
  static bool close(Entry& e) {
    bool ok = true;
    // An upload's data is on disk before its close is answered: the client
    // registers the copy next, and a list must never name lost bytes.
    if (e.fd >= 0 && e.writable) ok = ::fsync(e.fd) == 0;
    if (e.fd >= 0) ok = ::close(e.fd) == 0 && ok;
    if (e.dir) closedir(e.dir);
    e.fd = -1;
    e.dir = nullptr;
    return ok;
  }
  std::map<uint32_t, Entry> entries_;
  uint32_t next_ = 1;
};

void status(sftp_client_message msg, uint32_t code, const char* text) {
  sftp_reply_status(msg, code, text);
}

// Every request that can change a file asks here. One rule: a client writes
// only a stored file under its reservation and only up to the reserved size
// (which the area's capacity has granted). So the lists, the private
// directory, the account directories and everything above them can be read
// but never written, linked to, replaced, renamed or removed.
class WritePolicy {
 public:
  struct Grant {
    int64_t limit;    // the size the file may reach
    uint64_t writes;  // the file's count of changes, this one included
  };
  explicit WritePolicy(NodeStore& store) : store_(store) {}
  // Asked before every change to the file at `local`: nullopt, not writable.
  // A grant counts as a change (and forgets the file's digest).
  std::optional<Grant> change(const std::filesystem::path& local) const {
    std::lock_guard<std::mutex> lock(store_.mutex());
    store_.expire_reservations(seconds_now());
    auto r = store_.reservation_at(local);
    if (!r) return std::nullopt;
    return Grant{r->size, store_.note_write(local)};
  }

 private:
  NodeStore& store_;
};

// Records the digest of an upload whose reserved size is all there: from the
// bytes as they came when they came in order, else read back from the file.
void record_upload_digest(NodeStore& store, const std::string& path, int fd, UploadDigest& upload) {
  struct stat st {};
  std::optional<Reservation> reservation;
  std::optional<std::string> hex;
  uint64_t writes = 0;
  {
    std::lock_guard<std::mutex> lock(store.mutex());
    reservation = store.reservation_at(path);
    if (!reservation || fstat(fd, &st) != 0 || st.st_size != reservation->size) return;
    writes = store.write_count(path);
    hex = upload.of_whole(static_cast<uint64_t>(st.st_size), writes);
    if (hex) {
      store.record_digest(*reservation, *hex);
      return;
    }
  }
  // Reading a large file takes a while: without the store held.
  hex = digest_of_file(path);
  std::lock_guard<std::mutex> lock(store.mutex());
  if (hex && store.write_count(path) == writes) store.record_digest(*reservation, *hex);
}

bool beyond(int64_t limit, uint64_t offset, uint64_t length) {
  return offset > static_cast<uint64_t>(limit) || length > static_cast<uint64_t>(limit) - offset;
}

class SftpServer {
 public:
  SftpServer(sftp_session sftp, SessionShared& shared, SessionSocket& socket)
      : sftp_(sftp),
        store_(shared.store),
        open_faults_(shared.open_faults),
        paths_(store_.root()),
        policy_(store_),
        socket_(socket) {}

  void run() {
    while (sftp_client_message msg = sftp_get_client_message(sftp_)) {
      socket_.touch();
      handle(msg);
      sftp_client_message_free(msg);
    }
  }

 private:
  // --sftp-stall-after: past the bytes given, the session answers nothing
  // more and waits until the client or the node ends it.
  bool stalled() {
    const auto& after = store_.options().sftp_stall_after;
    if (!after || moved_bytes_ < static_cast<uint64_t>(*after)) return false;
    socket_.wait_until_gone();
    return true;
  }

  void reply_errno(sftp_client_message msg) {
    status(msg, status_of_errno(errno), std::strerror(errno));
  }
  void reply_ok(sftp_client_message msg) { status(msg, SSH_FX_OK, "ok"); }
  void deny(sftp_client_message msg) { status(msg, SSH_FX_PERMISSION_DENIED, "not writable: no reservation"); }

  std::optional<std::filesystem::path> path_of(sftp_client_message msg, const char* client) {
    auto local = paths_.local(client ? client : "");
    if (!local) sftp_reply_status(msg, SSH_FX_PERMISSION_DENIED, "not served");
    return local;
  }

  void reply_stat(sftp_client_message msg, const struct stat& st) {
    sftp_attributes_struct a;
    fill_attributes(st, a);
    sftp_reply_attr(msg, &a);
  }

  void handle(sftp_client_message msg) {
    const char* name = sftp_client_message_get_filename(msg);
    switch (sftp_client_message_get_type(msg)) {
      case SSH_FXP_REALPATH: {
        const std::string normal = normalize_client_path(name ? name : ".");
        sftp_attributes_struct a{};
        sftp_reply_name(msg, normal.c_str(), &a);
        return;
      }
      case SSH_FXP_OPEN: return open_file(msg, name);
      case SSH_FXP_READ:
        if (stalled()) return;
        return read(msg);
      case SSH_FXP_WRITE:
        if (stalled()) return;
        return write(msg);
      case SSH_FXP_CLOSE: return close(msg);
      case SSH_FXP_STAT:
      case SSH_FXP_LSTAT: {
        auto local = path_of(msg, name);
        if (!local) return;
        struct stat st {};
        if (lstat(local->c_str(), &st) != 0) return reply_errno(msg);
        return reply_stat(msg, st);
      }
      case SSH_FXP_FSTAT: {
        Handles::Entry* e = handles_.find(msg->handle);
        struct stat st {};
        if (!e || e->fd < 0) return status(msg, SSH_FX_FAILURE, "bad handle");
        if (fstat(e->fd, &st) != 0) return reply_errno(msg);
        return reply_stat(msg, st);
      }
      case SSH_FXP_SETSTAT: {
        auto local = path_of(msg, name);
        if (!local) return;
        return set_stat(msg, *local, -1);
      }
      case SSH_FXP_FSETSTAT: {
        Handles::Entry* e = handles_.find(msg->handle);
        if (!e) return status(msg, SSH_FX_FAILURE, "bad handle");
        return set_stat(msg, e->path, e->writable ? e->fd : -1);
      }
      case SSH_FXP_OPENDIR: {
        auto local = path_of(msg, name);
        if (!local) return;
        DIR* dir = opendir(local->c_str());
        if (!dir) return reply_errno(msg);
        return reply_handle(msg, handles_.add({-1, dir, local->string(), false, std::nullopt}));
      }
      case SSH_FXP_READDIR: return read_dir(msg);
      case SSH_FXP_MKDIR:
      case SSH_FXP_RMDIR:
      case SSH_FXP_SYMLINK: {
        // The node makes and removes the directories itself; links could
        // lead a write past the policy.
        auto local = path_of(msg, name);
        if (!local) return;
        return status(msg, SSH_FX_PERMISSION_DENIED, "not allowed on this node");
      }
      case SSH_FXP_REMOVE: {
        auto local = path_of(msg, name);
        if (!local) return;
        if (!policy_.change(*local)) return deny(msg);
        if (unlink(local->c_str()) != 0) return reply_errno(msg);
        return reply_ok(msg);
      }
      case SSH_FXP_RENAME: return rename(msg, name, false);
      case SSH_FXP_EXTENDED: {
        const char* sub = sftp_client_message_get_submessage(msg);
        if (sub && std::strcmp(sub, "posix-rename@openssh.com") == 0) return rename(msg, name, true);
        if (sub && std::strcmp(sub, "hardlink@openssh.com") == 0)
          return status(msg, SSH_FX_PERMISSION_DENIED, "not allowed on this node");
        return status(msg, SSH_FX_OP_UNSUPPORTED, "unsupported");
      }
      default: return status(msg, SSH_FX_OP_UNSUPPORTED, "unsupported");
    }
  }

  void open_file(sftp_client_message msg, const char* name) {
    auto local = path_of(msg, name);
    if (!local) return;
    if (open_faults_.refuse(name ? name : "")) return status(msg, SSH_FX_PERMISSION_DENIED, "refused by a fault switch");
    const uint32_t f = sftp_client_message_get_flags(msg);
    const bool writing = f & (SSH_FXF_WRITE | SSH_FXF_APPEND | SSH_FXF_TRUNC | SSH_FXF_CREAT);
    std::optional<WritePolicy::Grant> grant;
    if (writing && !(grant = policy_.change(*local))) return deny(msg);
    int flags = O_CLOEXEC | O_NOFOLLOW;
    if ((f & SSH_FXF_READ) && writing) flags |= O_RDWR;
    else if (writing) flags |= O_WRONLY;
    else flags |= O_RDONLY;
    if (f & SSH_FXF_APPEND) flags |= O_APPEND;
    if (f & SSH_FXF_CREAT) flags |= O_CREAT;
    if (f & SSH_FXF_TRUNC) flags |= O_TRUNC;
    if (f & SSH_FXF_EXCL) flags |= O_EXCL;
    int fd = ::open(local->c_str(), flags, 0644);
    if (fd < 0) return reply_errno(msg);
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (writing && st.st_nlink > 1)) {
      // A directory, a device, or a file that is also known by another name.
      ::close(fd);
      return status(msg, writing ? SSH_FX_PERMISSION_DENIED : SSH_FX_FAILURE, "not a plain file");
    }
    Handles::Entry entry{fd, nullptr, local->string(), writing, std::nullopt};
    if (writing) entry.upload.emplace(grant->writes);
    entry.appending = flags & O_APPEND;
    reply_handle(msg, handles_.add(std::move(entry)));
  }

  // An upload's data is on disk before its close is answered (the client
  // registers the copy next, and a list must never name lost bytes), and its
  // digest recorded when the reservation is written in full.
  void close(sftp_client_message msg) {
    Handles::Entry* e = handles_.find(msg->handle);
    if (!e) return status(msg, SSH_FX_FAILURE, "bad handle");
    if (e->writable && ::fsync(e->fd) != 0) {
      const int saved = errno;
      handles_.remove(msg->handle);
      errno = saved;
      return reply_errno(msg);
    }
    if (e->writable) record_upload_digest(store_, e->path, e->fd, *e->upload);
    if (!handles_.remove(msg->handle)) return reply_errno(msg);
    reply_ok(msg);
  }

  void reply_handle(sftp_client_message msg, ssh_string handle) {
    if (!handle) return status(msg, SSH_FX_FAILURE, "too many open files");
    sftp_reply_handle(msg, handle);
    ssh_string_free(handle);
  }

  void read(sftp_client_message msg) {
    Handles::Entry* e = handles_.find(msg->handle);
    if (!e || e->fd < 0) return status(msg, SSH_FX_FAILURE, "bad handle");
    if (msg->offset > static_cast<uint64_t>(INT64_MAX)) return status(msg, SSH_FX_EOF, nullptr);
    std::vector<char> buffer(std::min(msg->len, read_cap));
    ssize_t got = pread(e->fd, buffer.data(), buffer.size(), static_cast<off_t>(msg->offset));
    if (got < 0) return reply_errno(msg);
    if (got == 0) return status(msg, SSH_FX_EOF, nullptr);
    moved_bytes_ += static_cast<uint64_t>(got);
    sftp_reply_data(msg, buffer.data(), static_cast<int>(got));
  }

  void write(sftp_client_message msg) {
    Handles::Entry* e = handles_.find(msg->handle);
    if (!e || e->fd < 0 || !msg->data) return status(msg, SSH_FX_FAILURE, "bad handle");
    if (!e->writable) return status(msg, SSH_FX_PERMISSION_DENIED, "opened for reading");
    // Asked at every write: once the copy is registered its reservation is
    // gone, and so is the right to change it.
    auto grant = policy_.change(e->path);
    if (!grant) return deny(msg);
    // The data is binary: taken from the string itself, never as a C text.
    std::string_view data(static_cast<const char*>(ssh_string_data(msg->data)), ssh_string_len(msg->data));
    uint64_t at = msg->offset;
    if (e->appending) {
      struct stat st {};
      if (fstat(e->fd, &st) != 0) return reply_errno(msg);
      at = static_cast<uint64_t>(st.st_size);
    }
    if (beyond(grant->limit, at, data.size())) return status(msg, SSH_FX_FAILURE, "beyond the reserved size");
    std::string flipped;
    if (store_.options().corrupt_uploads && at == 0 && !data.empty()) {
      // A bad link: the first byte stored is not the one sent.
      flipped = data;
      flipped[0] = static_cast<char>(~flipped[0]);
      data = flipped;
    }
    for (size_t done = 0; done < data.size();) {
      ssize_t put = pwrite(e->fd, data.data() + done, data.size() - done, static_cast<off_t>(at + done));
      if (put < 0) return reply_errno(msg);
      done += static_cast<size_t>(put);
    }
    e->upload->add(at, data, grant->writes);
    moved_bytes_ += data.size();
    reply_ok(msg);
  }

  // Size and times of a reserved file; nothing else is kept, nothing else changed.
  void set_stat(sftp_client_message msg, const std::filesystem::path& local, int fd) {
    auto grant = policy_.change(local);
    if (!grant) return deny(msg);
    const int64_t limit = grant->limit;
    const sftp_attributes attr = msg->attr;
    if (attr && (attr->flags & SSH_FILEXFER_ATTR_SIZE)) {
      if (attr->size > static_cast<uint64_t>(limit)) return status(msg, SSH_FX_FAILURE, "beyond the reserved size");
      const int done = fd >= 0 ? ftruncate(fd, static_cast<off_t>(attr->size))
                               : truncate(local.c_str(), static_cast<off_t>(attr->size));
      if (done != 0) return reply_errno(msg);
    }
    if (attr && (attr->flags & SSH_FILEXFER_ATTR_ACMODTIME)) {
      timespec times[2] = {{static_cast<time_t>(attr->atime), 0}, {static_cast<time_t>(attr->mtime), 0}};
      const int done = fd >= 0 ? futimens(fd, times) : utimensat(AT_FDCWD, local.c_str(), times, AT_SYMLINK_NOFOLLOW);
      if (done != 0) return reply_errno(msg);
    }
    reply_ok(msg);
  }

  void read_dir(sftp_client_message msg) {
    Handles::Entry* e = handles_.find(msg->handle);
    if (!e || !e->dir) return status(msg, SSH_FX_FAILURE, "bad handle");
    int count = 0;
    while (count < 100) {
      dirent* d = readdir(e->dir);
      if (!d) break;
      struct stat st {};
      const std::string full = e->path + "/" + d->d_name;
      if (lstat(full.c_str(), &st) != 0) continue;
      sftp_attributes_struct a;
      fill_attributes(st, a);
      sftp_reply_names_add(msg, d->d_name, long_name(d->d_name, st).c_str(), &a);
      ++count;
    }
    if (count == 0) return status(msg, SSH_FX_EOF, nullptr);
    sftp_reply_names(msg);
  }

  std::string second_path(sftp_client_message msg) {
    if (!msg->data) return {};
    return std::string(static_cast<const char*>(ssh_string_data(msg->data)), ssh_string_len(msg->data));
  }

  // Between two reserved names only, and only what fits the target's reservation.
  void rename(sftp_client_message msg, const char* name, bool replace) {
    auto from = path_of(msg, name);
    if (!from) return;
    auto to = path_of(msg, second_path(msg).c_str());
    if (!to) return;
    auto to_grant = policy_.change(*to);
    if (!policy_.change(*from) || !to_grant) return deny(msg);
    struct stat st {};
    if (lstat(from->c_str(), &st) != 0) return reply_errno(msg);
    if (!S_ISREG(st.st_mode) || st.st_size > to_grant->limit)
      return status(msg, SSH_FX_FAILURE, "beyond the reserved size");
    if (!replace && lstat(to->c_str(), &st) == 0)
      return status(msg, SSH_FX_FILE_ALREADY_EXISTS, "exists");
    if (::rename(from->c_str(), to->c_str()) != 0) return reply_errno(msg);
    reply_ok(msg);
  }

  sftp_session sftp_;
  NodeStore& store_;
  OpenFaults& open_faults_;
  PathMap paths_;
  WritePolicy policy_;
  SessionSocket& socket_;
  Handles handles_;
  uint64_t moved_bytes_ = 0;  // read and written in this session
};

// Runs the SSH event loop until the client has asked for the sftp subsystem
// on a channel. False when the client went away or failed to log in.
bool wait_for_sftp(ssh_session session, Context& c) {
  ssh_event event = ssh_event_new();
  ssh_event_add_session(event, session);
  while (!c.sftp_requested && c.failed_logins < 5) {
    if (ssh_event_dopoll(event, 100) == SSH_ERROR) break;
    if (ssh_get_status(session) & (SSH_CLOSED | SSH_CLOSED_ERROR)) break;
  }
  ssh_event_remove_session(event, session);
  ssh_event_free(event);
  return c.sftp_requested && c.channel;
}

void close_channel(Context& c) {
  // Closing even after the client has: without it curl waits before it ends.
  if (!ssh_channel_is_closed(c.channel)) {
    ssh_channel_send_eof(c.channel);
    ssh_channel_close(c.channel);
  }
  ssh_channel_free(c.channel);
  c.channel = nullptr;
  c.sftp_requested = false;
}

}  // namespace

int64_t steady_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch()).count();
}

SessionSocket::SessionSocket(int fd) : last_activity_ms(steady_ms()), fd_(fd) {}

void SessionSocket::touch() { last_activity_ms = steady_ms(); }

void SessionSocket::shutdown() {
  std::lock_guard<std::mutex> lock(mutex_);
  shut_ = true;
  if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
}

void SessionSocket::wait_until_gone() {
  for (;;) {
    int fd;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (shut_ || fd_ < 0) return;
      fd = fd_;
    }
    // Only the peer's close is watched: what it still sends stays unread.
    pollfd p{fd, POLLRDHUP, 0};
    if (::poll(&p, 1, 100) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR))) return;
  }
}

void SessionSocket::forget() {
  std::lock_guard<std::mutex> lock(mutex_);
  fd_ = -1;
}

void run_sftp_session(ssh_session session, const Login& login, SessionShared& shared, SessionSocket& socket) {
  Context c;
  c.login = login;
  c.log = &shared.log;
  c.socket = &socket;
  ssh_server_callbacks_struct callbacks{};
  callbacks.userdata = &c;
  callbacks.auth_password_function = on_password;
  callbacks.channel_open_request_session_function = on_channel_open;
  ssh_callbacks_init(&callbacks);
  ssh_set_server_callbacks(session, &callbacks);
  ssh_set_auth_methods(session, SSH_AUTH_METHOD_PASSWORD);

  // One channel after the other until the client ends the connection: a
  // client that keeps its connection for the next transfer finds it open.
  if (ssh_handle_key_exchange(session) == SSH_OK) {
    while (wait_for_sftp(session, c)) {
      socket.touch();
      sftp_session sftp = sftp_server_new(session, c.channel);
      if (sftp && sftp_server_init(sftp) == 0) SftpServer(sftp, shared, socket).run();
      if (sftp) sftp_server_free(sftp);
      close_channel(c);
    }
  }
  if (c.channel) close_channel(c);
  socket.forget();
  ssh_disconnect(session);
  ssh_free(session);
}

}  // namespace morbs::node
