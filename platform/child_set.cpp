#include "platform/child_set.h"

#include <algorithm>
#include <cerrno>
#include <utility>
#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/file_descriptor.h"

namespace morbs::platform {

namespace {

int decode_status(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// fork(), the child killed with us however we end (even by SIGKILL), so no
// transfer or feeder outlives its run; a child whose parent is already gone
// ends at once with `orphan_exit`.
pid_t fork_bound_to_us(int orphan_exit) {
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(orphan_exit);
  }
  return pid;
}

}  // namespace

ChildSet::~ChildSet() {
  for (const auto& [pid, tag] : children_) {
    kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  for (int pid : feeders_) kill(pid, SIGKILL);
  reap_feeders(true);
}

void ChildSet::reap_feeders(bool wait) {
  for (auto it = feeders_.begin(); it != feeders_.end();) {
    int status = 0;
    pid_t done;
    while ((done = waitpid(*it, &status, wait ? 0 : WNOHANG)) < 0 && errno == EINTR) {
    }
    it = done == 0 ? it + 1 : feeders_.erase(it);
  }
}

bool ChildSet::start_feeder(const InputRange& input, FileDescriptor& read_end) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return false;
  FileDescriptor pipe_read(ends[0]), pipe_write(ends[1]);
  // A deeper pipe lets the feeder run ahead of the reader; the default
  // depth stays where the system allows no more.
  (void)::fcntl(pipe_write.get(), F_SETPIPE_SZ, 1 << 20);
  const pid_t pid = fork_bound_to_us(1);
  if (pid < 0) return false;
  if (pid == 0) {
    // Feeds the range and ends; a reader that went away ends it too.
    ::signal(SIGPIPE, SIG_DFL);
    pipe_read.close();  // else a reader that went away would leave us blocked
    char block[1 << 16];
    int64_t at = input.offset, left = input.length;
    // Pages go from the file to the pipe without a copy through here; a
    // file that cannot be spliced is read and written.
    while (left > 0) {
      loff_t from = at;
      const ssize_t moved = ::splice(input.fd, &from, pipe_write.get(), nullptr,
                                     static_cast<size_t>(std::min<int64_t>(left, 1 << 20)), SPLICE_F_MOVE);
      if (moved < 0 && errno == EINTR) continue;
      if (moved == 0) ::_exit(1);  // the file ended early
      if (moved < 0) break;
      at += moved;
      left -= moved;
    }
    while (left > 0) {
      const ssize_t got = ::pread(input.fd, block, static_cast<size_t>(std::min<int64_t>(left, sizeof block)), at);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) ::_exit(1);  // the file ended early: the reader sees a short input
      for (ssize_t sent = 0; sent < got;) {
        const ssize_t n = ::write(pipe_write.get(), block + sent, static_cast<size_t>(got - sent));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ::_exit(1);
        sent += n;
      }
      at += got;
      left -= got;
    }
    ::_exit(0);
  }
  feeders_.push_back(pid);
  read_end = std::move(pipe_read);
  return true;
}

bool ChildSet::start(int tag, const std::vector<std::string>& args, int output, const InputRange* input) {
  if (args.empty()) return false;
  FileDescriptor input_end;
  if (input && !start_feeder(*input, input_end)) return false;
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  // The child tells through this pipe why it could not run the program; a
  // pipe closed by the exec says it runs.
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return false;
  FileDescriptor report_read(ends[0]), report_write(ends[1]);
  const pid_t pid = fork_bound_to_us(127);
  if (pid < 0) return false;
  if (pid == 0) {
    const int null_fd = input_end ? -1 : ::open("/dev/null", O_RDONLY);
    if (input_end) ::dup2(input_end.get(), 0);
    else if (null_fd >= 0) ::dup2(null_fd, 0);
    if (output >= 0) ::dup2(output, 1);
    ::execvp(argv[0], argv.data());
    const int error = errno;
    ssize_t ignored = ::write(report_write.get(), &error, sizeof error);
    (void)ignored;
    ::_exit(127);
  }
  report_write.close();
  int error = 0;
  ssize_t got;
  while ((got = ::read(report_read.get(), &error, sizeof error)) < 0 && errno == EINTR) {
  }
  report_read.close();
  if (got > 0) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return false;
  }
  children_[pid] = tag;
  return true;
}

// Only our own children are reaped (waitpid(-1) would also take children the
// caller started elsewhere), so each is polled; 5 ms is nothing next to a
// transfer.
std::optional<ChildSet::Ended> ChildSet::wait_any(int timeout_ms) {
  reap_feeders(false);
  for (int waited_ms = 0; !children_.empty(); waited_ms += 5) {
    for (auto it = children_.begin(); it != children_.end(); ++it) {
      int status = 0;
      pid_t done = waitpid(it->first, &status, WNOHANG);
      if (done == it->first || (done < 0 && errno == ECHILD)) {
        Ended ended{it->second, done < 0 ? -1 : decode_status(status)};
        children_.erase(it);
        return ended;
      }
    }
    if (timeout_ms >= 0 && waited_ms >= timeout_ms) return std::nullopt;
    usleep(5000);
  }
  return std::nullopt;
}

}  // namespace morbs::platform
