#include "platform/sftp_transfers.h"

#include <curl/curl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "platform/address_guard.h"

namespace morbs::platform {

namespace {

// The SSH library cuts SFTP writes into packets of 30,000 bytes and keeps
// everything handed to it in flight: the upload buffer is the window, so
// the largest the library allows, in whole packets.
constexpr long sftp_packet = 30000;
constexpr long upload_buffer = (2L * 1024 * 1024 / sftp_packet) * sftp_packet;
// The SSH library reads ahead on its own; a larger buffer only held more of
// every piece in memory (54 MB resident for four at once, against 24 MB):
// 2 MiB was no faster on loopback, nor through 20 ms each way at 100 Mbit/s
// (4.41 s against 4.43 s for 32 MiB in four parts).
constexpr long download_buffer = 512L * 1024;

std::once_flag library_started;

}  // namespace

void start_transfer_library() {
  std::call_once(library_started, [] {
    ::signal(SIGPIPE, SIG_IGN);
    curl_global_init(CURL_GLOBAL_DEFAULT);
  });
}

using Clock = std::chrono::steady_clock;

std::string connection_place(std::string_view url, std::string_view login) {
  const size_t scheme = url.find("://");
  const size_t path = scheme == std::string_view::npos ? std::string_view::npos : url.find('/', scheme + 3);
  return std::string(url.substr(0, path)) + " " + std::string(login);
}

namespace {

std::string place_of(const SftpJob& job) { return connection_place(job.url, job.login); }

}  // namespace

// One transfer as the library runs it.
struct Running {
  SftpJob job;
  std::function<void(SftpOutcome)> ended;
  CURL* easy = nullptr;
  int64_t moved = 0;
  // The library's own counts of bytes through the connection, and when
  // they last grew: what the stall watch goes by.
  curl_off_t seen_down = 0, seen_up = 0;
  Clock::time_point last_progress = Clock::now();
  // The loop's open sockets, each with the place it leads to: a stalled
  // transfer's connection is among its place's (opened for it or reused).
  std::map<curl_socket_t, std::string>* open_sockets = nullptr;
  bool cut = false;  // its connection was cut for a stall
  SftpOutcome::Kind local_failure = SftpOutcome::Kind::done;
  std::string local_error;
  char library_error[CURL_ERROR_SIZE] = {};
};

struct SftpTransfers::Loop {
  Loop();   // starts its thread
  ~Loop();  // stops it: what still runs ends without a word
  CURLM* multi = nullptr;
  std::thread thread;
  std::mutex lock;
  std::deque<std::unique_ptr<Running>> arriving;  // under `lock`
  bool stopping = false;                          // under `lock`
  std::map<CURL*, std::unique_ptr<Running>> running;  // the loop's thread only
  std::map<curl_socket_t, std::string> open_sockets;  // likewise; outlives every connection

  void run();
  void add(std::unique_ptr<Running> r);
  void finish(CURL* easy, CURLcode code);
  void cut_stalled();
};

namespace {

size_t read_source(char* buffer, size_t size, size_t count, void* user) {
  auto* r = static_cast<Running*>(user);
  const int64_t left = r->job.length - r->moved;
  if (left <= 0) return 0;
  const size_t want = static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(size * count)));
  ssize_t got;
  do got = ::pread(r->job.fd, buffer, want, r->job.offset + r->moved);
  while (got < 0 && errno == EINTR);
  if (got <= 0) {
    // Ending early would store a short copy under the full size's name.
    r->local_failure = SftpOutcome::Kind::local;
    r->local_error = got < 0 ? std::string("cannot read the file to send: ") + std::strerror(errno)
                             : "the file to send is shorter than it was";
    return CURL_READFUNC_ABORT;
  }
  r->moved += got;
  if (r->job.on_bytes) r->job.on_bytes(std::string_view(buffer, static_cast<size_t>(got)));
  return static_cast<size_t>(got);
}

size_t write_target(char* bytes, size_t size, size_t count, void* user) {
  auto* r = static_cast<Running*>(user);
  const size_t n = size * count;
  if (r->job.length >= 0 && r->moved + static_cast<int64_t>(n) > r->job.length) {
    r->local_failure = SftpOutcome::Kind::too_long;
    r->local_error = "more bytes came than the piece holds (" + std::to_string(r->job.length) + ")";
    r->moved += static_cast<int64_t>(n);  // counted, never written: the checks see a longer piece
    return 0;
  }
  size_t done = r->job.fd < 0 ? n : 0;
  while (done < n) {
    const ssize_t put = ::pwrite(r->job.fd, bytes + done, n - done, r->job.offset + r->moved + done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      r->local_failure = SftpOutcome::Kind::local;
      r->local_error = std::string("cannot write what came: ") + std::strerror(put < 0 ? errno : EIO);
      return 0;
    }
    done += static_cast<size_t>(put);
  }
  if (r->job.on_bytes) r->job.on_bytes(std::string_view(bytes, n));
  r->moved += static_cast<int64_t>(n);
  return n;
}

// The library opens its own sockets: the loopback guard holds for them too.
curl_socket_t open_guarded_socket(void* user, curlsocktype, struct curl_sockaddr* address) {
  if (address->family != AF_INET) return CURL_SOCKET_BAD;
  const auto* in = reinterpret_cast<const sockaddr_in*>(&address->addr);
  if (!address_allowed(in->sin_addr.s_addr)) return CURL_SOCKET_BAD;
  const curl_socket_t s = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
  auto* r = static_cast<Running*>(user);
  if (s != CURL_SOCKET_BAD) (*r->open_sockets)[s] = place_of(r->job);
  return s;
}

// Called with the set of open sockets: a connection may be closed long
// after the transfer that opened it.
int close_socket(void* user, curl_socket_t s) {
  static_cast<std::map<curl_socket_t, std::string>*>(user)->erase(s);
  return ::close(s);
}


// A transfer that moved nothing for the stall time (twice that before its
// first byte: the login) has its place's connections cut: which of them it
// runs on cannot be told, and a node that stalls one stalls them all (it is
// not asked again in the run). The library then fails at once, where it
// would wait for ever on a node that no longer answers: its goodbye to a
// node blocks, and polls without a pause, when no time limit is set.
bool cut_if_stalled(Running& r) {
  const int stall = r.job.stall_seconds;
  if (stall <= 0 || r.cut) return r.cut;
  const bool begun = r.seen_down > 0 || r.seen_up > 0;
  const int limit = begun ? stall : 2 * stall;
  if (Clock::now() - r.last_progress < std::chrono::seconds(limit)) return false;
  r.cut = true;
  r.local_failure = SftpOutcome::Kind::stalled;
  r.local_error = "nothing moved for " + std::to_string(limit) + " s: the node stalled";
  const std::string place = place_of(r.job);
  for (const auto& [socket, to] : *r.open_sockets)
    if (to == place) ::shutdown(socket, SHUT_RDWR);
  return true;
}

// Also called from within the library's own waits (closing a file on the
// node): a stall found there ends the transfer from inside.
int note_progress(void* user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up) {
  auto* r = static_cast<Running*>(user);
  if (down != r->seen_down || up != r->seen_up) {
    r->seen_down = down;
    r->seen_up = up;
    r->last_progress = Clock::now();
  }
  return cut_if_stalled(*r) ? 1 : 0;
}

SftpOutcome::Kind kind_of(CURLcode code) {
  switch (code) {
    case CURLE_OK:
      return SftpOutcome::Kind::done;
    case CURLE_OPERATION_TIMEDOUT:
      return SftpOutcome::Kind::stalled;
    case CURLE_COULDNT_CONNECT:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_LOGIN_DENIED:
    case CURLE_SSH:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
      return SftpOutcome::Kind::no_service;
    default:
      return SftpOutcome::Kind::other;
  }
}

// The options every transfer takes; false when the library refuses one.
bool set_up(Running& r) {
  CURL* e = r.easy;
  const SftpJob& j = r.job;
  bool ok = curl_easy_setopt(e, CURLOPT_URL, j.url.c_str()) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_USERPWD, j.login.c_str()) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "sftp") == CURLE_OK &&
            // Never the user's own keys or agent: the node's login is all.
            curl_easy_setopt(e, CURLOPT_SSH_AUTH_TYPES, static_cast<long>(CURLSSH_AUTH_PASSWORD)) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_ERRORBUFFER, r.library_error) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_PRIVATE, &r) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_OPENSOCKETFUNCTION, open_guarded_socket) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_OPENSOCKETDATA, &r) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_CLOSESOCKETFUNCTION, close_socket) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_CLOSESOCKETDATA, r.open_sockets) == CURLE_OK;
  // Stalls are watched here (cut_stalled), not by the library's own
  // low-speed limit: that one ends a transfer and then blocks the thread,
  // every transfer with it, for seconds while it says goodbye to a node that
  // no longer answers. Its connect timeout stays as a last resort.
  if (j.stall_seconds > 0)
    ok = ok && curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, static_cast<long>(2 * j.stall_seconds + 2)) == CURLE_OK &&
         curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L) == CURLE_OK &&
         curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, note_progress) == CURLE_OK &&
         curl_easy_setopt(e, CURLOPT_XFERINFODATA, &r) == CURLE_OK;
  if (j.upload)
    return ok && curl_easy_setopt(e, CURLOPT_UPLOAD, 1L) == CURLE_OK &&
           curl_easy_setopt(e, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(j.length)) == CURLE_OK &&
           curl_easy_setopt(e, CURLOPT_UPLOAD_BUFFERSIZE, upload_buffer) == CURLE_OK &&
           curl_easy_setopt(e, CURLOPT_READFUNCTION, read_source) == CURLE_OK &&
           curl_easy_setopt(e, CURLOPT_READDATA, &r) == CURLE_OK;
  return ok && curl_easy_setopt(e, CURLOPT_BUFFERSIZE, download_buffer) == CURLE_OK &&
         curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, write_target) == CURLE_OK &&
         curl_easy_setopt(e, CURLOPT_WRITEDATA, &r) == CURLE_OK;
}

}  // namespace

void SftpTransfers::Loop::add(std::unique_ptr<Running> r) {
  r->open_sockets = &open_sockets;
  r->easy = curl_easy_init();
  if (!r->easy || !set_up(*r) || curl_multi_add_handle(multi, r->easy) != CURLM_OK) {
    if (r->easy) curl_easy_cleanup(r->easy);
    SftpOutcome outcome{SftpOutcome::Kind::local, -1, "the transfer could not be set up", 0};
    r->ended(std::move(outcome));
    return;
  }
  CURL* easy = r->easy;
  running.emplace(easy, std::move(r));
}

void SftpTransfers::Loop::finish(CURL* easy, CURLcode code) {
  auto found = running.find(easy);
  if (found == running.end()) return;
  std::unique_ptr<Running> r = std::move(found->second);
  running.erase(found);
  curl_multi_remove_handle(multi, easy);
  SftpOutcome outcome;
  outcome.code = static_cast<int>(code);
  outcome.bytes = r->moved;
  if (code != CURLE_OK) {
    outcome.kind = r->local_failure != SftpOutcome::Kind::done ? r->local_failure : kind_of(code);
    outcome.error = !r->local_error.empty() ? r->local_error
                    : r->library_error[0]   ? std::string(r->library_error)
                                            : std::string(curl_easy_strerror(code));
  } else if (r->job.upload && r->moved != r->job.length) {
    outcome = {SftpOutcome::Kind::local, -1, "the file to send is shorter than it was", r->moved};
  }
  curl_easy_cleanup(easy);
  r->ended(std::move(outcome));
}

// The stall watch, between the library's turns.
void SftpTransfers::Loop::cut_stalled() {
  for (auto& [easy, r] : running) cut_if_stalled(*r);
}

void SftpTransfers::Loop::run() {
  for (;;) {
    {
      std::deque<std::unique_ptr<Running>> taken;
      {
        std::lock_guard<std::mutex> held(lock);
        if (stopping) break;
        taken.swap(arriving);
      }
      for (auto& r : taken) add(std::move(r));
    }
    int still = 0;
    curl_multi_perform(multi, &still);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued))
      if (message->msg == CURLMSG_DONE) finish(message->easy_handle, message->data.result);
    cut_stalled();
    curl_multi_poll(multi, nullptr, 0, 100, nullptr);
  }
  // Stopped: what still runs ends without a word.
  for (auto& [easy, r] : running) {
    curl_multi_remove_handle(multi, easy);
    curl_easy_cleanup(easy);
  }
  running.clear();
}

SftpTransfers::Loop::Loop() : multi(curl_multi_init()) {
  thread = std::thread([this] { run(); });
}

SftpTransfers::Loop::~Loop() {
  {
    std::lock_guard<std::mutex> held(lock);
    stopping = true;
  }
  curl_multi_wakeup(multi);
  thread.join();
  curl_multi_cleanup(multi);
}

SftpTransfers::SftpTransfers() { start_transfer_library(); }

SftpTransfers::~SftpTransfers() = default;

void SftpTransfers::start(SftpJob job, std::function<void(SftpOutcome)> ended) {
  auto r = std::make_unique<Running>();
  r->job = std::move(job);
  r->ended = std::move(ended);
  Loop* loop;
  {
    // Each place keeps to one loop, where its connections are kept; the
    // places are dealt over the loops as they come.
    std::lock_guard<std::mutex> held(places_lock_);
    const auto at = loop_of_place_.emplace(place_of(r->job), loop_of_place_.size() % max_loops).first;
    if (at->second >= loops_.size()) loops_.push_back(std::make_unique<Loop>());
    loop = loops_[at->second].get();
  }
  {
    std::lock_guard<std::mutex> held(loop->lock);
    loop->arriving.push_back(std::move(r));
  }
  curl_multi_wakeup(loop->multi);
}

}  // namespace morbs::platform

#if defined(__SANITIZE_ADDRESS__)
// The SSH library leaves a session behind when a stalled connection is
// dropped (about 160 KiB, once per stall): theirs, not ours to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libssh2.so\nleak:libcurl.so\n"; }
#endif
