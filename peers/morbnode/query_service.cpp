#include "peers/morbnode/query_service.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "core/wire/query_string.h"
#include "core/wire/wire.h"
#include "peers/morbnode/request_fields.h"
#include "peers/morbnode/requests.h"

namespace morbs::node {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A real client sends its request right after connecting; one that does not
// within this time gives its slot back.
constexpr milliseconds first_byte_wait{1000};
// A connection silent for this long may give its slot to a newer one when
// every slot is taken; a fresh one may simply not have been read yet.
constexpr milliseconds silent_grace{200};
constexpr milliseconds request_wait{2000};
constexpr milliseconds send_wait{2000};
constexpr milliseconds never_answer_hold{30000};
// After the descriptors ran out, accepting waits this long instead of spinning.
constexpr milliseconds accept_pause{100};
constexpr int worker_count = 4;

int listen_on(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  // A long backlog: a burst of clients waits in the kernel, not in a retry.
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, SOMAXCONN) != 0) {
    int saved = errno;
    ::close(fd);
    errno = saved;
    return -1;
  }
  return fd;
}

}  // namespace

// The connections and their steps; runs in the thread that calls serve().
class QueryService::Loop {
 public:
  explicit Loop(QueryService& service) : s_(service) {}
  ~Loop() {
    for (auto& [id, c] : connections_) ::close(c.fd);
  }

  void run(const std::atomic<bool>& stop) {
    std::vector<pollfd> polls;
    std::vector<uint64_t> ids;
    while (!stop) {
      const auto now = Clock::now();
      polls.clear();
      ids.clear();
      polls.push_back({s_.wake_fds_[0], POLLIN, 0});
      // With every slot busy with a real request, new clients wait in the
      // listen backlog for a slot instead of being turned away.
      const bool accepting = now >= accept_paused_until_ && has_room(now);
      polls.push_back({accepting ? s_.listen_fd_ : -1, POLLIN, 0});
      auto next = now + milliseconds(100);  // the stop flag is seen this often
      for (auto& [id, c] : connections_) {
        short events = 0;
        if (c.step == Step::reading || c.step == Step::holding) events = POLLIN;
        if (c.step == Step::sending && now >= c.send_at) events = POLLOUT;
        if (c.step == Step::sending && now < c.send_at) next = std::min(next, c.send_at);
        next = std::min(next, c.deadline);
        if (!accepting && c.step == Step::reading && c.got == 0) next = std::min(next, c.accepted + silent_grace);
        if (events == 0) continue;
        polls.push_back({c.fd, events, 0});
        ids.push_back(id);
      }
      if (!accepting) next = std::min(next, accept_paused_until_);
      const auto wait = std::chrono::duration_cast<milliseconds>(next - now).count();
      if (::poll(polls.data(), polls.size(), static_cast<int>(std::max<long>(wait, 0) + 1)) < 0 && errno != EINTR)
        break;
      if (polls[0].revents) take_answers();
      if (polls[1].revents) accept_all();
      for (size_t i = 2; i < polls.size(); ++i)
        if (polls[i].revents) step(ids[i - 2]);
      expire();
    }
  }

 private:
  enum class Step { reading, working, sending, holding };
  struct Connection {
    int fd = -1;
    Step step = Step::reading;
    MessageBlock in{};
    size_t got = 0;
    MessageBlock out{};
    size_t out_size = 0, sent = 0;
    Clock::time_point accepted, deadline, send_at;
  };

  bool full() const { return static_cast<int>(connections_.size()) >= s_.max_connections_; }

  static bool evictable(const Connection& c, Clock::time_point now) {
    return c.step == Step::reading && c.got == 0 && now - c.accepted >= silent_grace;
  }

  bool has_room(Clock::time_point now) const {
    if (!full()) return true;
    return std::any_of(connections_.begin(), connections_.end(),
                       [&](const auto& entry) { return evictable(entry.second, now); });
  }

  void accept_all() {
    for (int n = 0; n < 64; ++n) {
      if (full() && !evict_silent()) return;  // the rest wait in the backlog
      int fd = ::accept4(s_.listen_fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (fd < 0) {
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
          accept_paused_until_ = Clock::now() + accept_pause;
        return;
      }
      Connection c;
      c.fd = fd;
      c.accepted = Clock::now();
      c.deadline = c.accepted + first_byte_wait;
      connections_.emplace(next_id_++, c);
    }
  }

  // Makes room by closing the connection that has waited longest without
  // sending a byte, past the grace. False when there is none.
  bool evict_silent() {
    const auto now = Clock::now();
    auto oldest = connections_.end();
    for (auto it = connections_.begin(); it != connections_.end(); ++it)
      if (evictable(it->second, now) &&
          (oldest == connections_.end() || it->second.accepted < oldest->second.accepted))
        oldest = it;
    if (oldest == connections_.end()) return false;
    drop(oldest);
    return true;
  }

  void drop(std::unordered_map<uint64_t, Connection>::iterator it) {
    ::close(it->second.fd);
    connections_.erase(it);
  }

  void step(uint64_t id) {
    auto it = connections_.find(id);
    if (it == connections_.end()) return;
    Connection& c = it->second;
    if (c.step == Step::reading) {
      ssize_t got = ::recv(c.fd, c.in.data() + c.got, c.in.size() - c.got, 0);
      if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) return drop(it);
      if (got < 0) return;
      if (c.got == 0) c.deadline = c.accepted + request_wait;
      c.got += static_cast<size_t>(got);
      if (c.got < c.in.size()) return;
      c.step = Step::working;
      const auto now = Clock::now();
      // A request read in full is answered however busy the workers are.
      c.deadline = Clock::time_point::max();
      std::lock_guard<std::mutex> lock(s_.jobs_mutex_);
      s_.jobs_.push_back({id, c.in, now});
      s_.jobs_ready_.notify_one();
    } else if (c.step == Step::sending) {
      ssize_t sent = ::send(c.fd, c.out.data() + c.sent, c.out_size - c.sent, MSG_NOSIGNAL);
      if (sent < 0 && (errno == EAGAIN || errno == EINTR)) return;
      if (sent <= 0) return drop(it);
      c.sent += static_cast<size_t>(sent);
      if (c.sent == c.out_size) drop(it);
    } else if (c.step == Step::holding) {
      char sink[512];
      ssize_t got = ::recv(c.fd, sink, sizeof sink, 0);
      if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) drop(it);
    }
  }

  void take_answers() {
    char drain[64];
    while (::read(s_.wake_fds_[0], drain, sizeof drain) > 0) {
    }
    std::deque<Done> done;
    {
      std::lock_guard<std::mutex> lock(s_.done_mutex_);
      done.swap(s_.done_);
    }
    const auto now = Clock::now();
    for (Done& d : done) {
      auto it = connections_.find(d.connection);
      if (it == connections_.end()) continue;
      Connection& c = it->second;
      if (d.verdict == Verdict::close) {
        drop(it);
      } else if (d.verdict == Verdict::hold) {
        c.step = Step::holding;
        c.deadline = now + never_answer_hold;
      } else {
        c.step = Step::sending;
        c.out = d.block;
        c.out_size = d.size;
        c.send_at = now + milliseconds(s_.options_.answer_delay_ms);
        c.deadline = c.send_at + send_wait;
      }
    }
  }

  void expire() {
    const auto now = Clock::now();
    for (auto it = connections_.begin(); it != connections_.end();) {
      auto next = std::next(it);
      if (now >= it->second.deadline) drop(it);
      it = next;
    }
  }

  QueryService& s_;
  std::unordered_map<uint64_t, Connection> connections_;
  uint64_t next_id_ = 1;
  Clock::time_point accept_paused_until_{};
};

QueryService::QueryService(const Options& options, NodeStore& store, NodeLog& log, int max_connections)
    : options_(options), store_(store), log_(log), max_connections_(std::max(1, max_connections)) {}

QueryService::~QueryService() {
  if (listen_fd_ >= 0) ::close(listen_fd_);
  for (int fd : wake_fds_)
    if (fd >= 0) ::close(fd);
}

bool QueryService::listen(std::string& error) {
  listen_fd_ = listen_on(options_.port);
  if (listen_fd_ < 0 || ::pipe2(wake_fds_, O_CLOEXEC | O_NONBLOCK) != 0) {
    error = "cannot listen on 127.0.0.1:" + std::to_string(options_.port) + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

void QueryService::serve(const std::atomic<bool>& stop) {
  for (int i = 0; i < worker_count; ++i) workers_.emplace_back([this] { work(); });
  {
    Loop loop(*this);
    loop.run(stop);
    ::close(listen_fd_);
    listen_fd_ = -1;
  }  // every connection closed
  {
    std::lock_guard<std::mutex> lock(jobs_mutex_);
    workers_stop_ = true;
    jobs_.clear();
  }
  jobs_ready_.notify_all();
  for (auto& w : workers_) w.join();
  workers_.clear();
}

void QueryService::work() {
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> lock(jobs_mutex_);
      jobs_ready_.wait(lock, [this] { return workers_stop_ || !jobs_.empty(); });
      if (workers_stop_) return;
      job = jobs_.front();
      jobs_.pop_front();
    }
    Done done = answer_job(job);
    {
      std::lock_guard<std::mutex> lock(done_mutex_);
      done_.push_back(done);
    }
    const char one = 1;
    [[maybe_unused]] auto ignored = ::write(wake_fds_[1], &one, 1);  // a full pipe wakes the loop all the same
  }
}

QueryService::Done QueryService::answer_job(Job& job) {
  PlainBlock plain{};
  decodeV1(job.block, 0, plain);
  const std::string request(until_nul(std::string_view(plain.data(), plain.size())));
  log_.append(request);

  Done done{job.connection, Verdict::reply, {}, 0};
  if (options_.close_without_answer) {
    done.verdict = Verdict::close;
    return done;
  }
  if (options_.never_answer) {
    done.verdict = Verdict::hold;  // until the client gives up
    return done;
  }
  auto fields = Fields::parse(request);
  std::string reply;
  if (options_.refuse_all || (fields && op_refused(options_, fields->get("OP"), fields->get("SUB")))) {
    reply = wire::refusal;
  } else {
    std::lock_guard<std::mutex> lock(store_.mutex());
    reply = answer(store_, options_, request);
  }
  done.size = done.block.size();
  if (reply == wire::refusal) {
    std::memcpy(done.block.data(), wire::refusal.data(), wire::refusal.size());
  } else {
    codeV1(reply, 0, done.block);
  }
  return done;
}

}  // namespace morbs::node
