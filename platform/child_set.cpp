#include "platform/child_set.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/file_descriptor.h"

extern char** environ;

namespace morbs::platform {

namespace {

int decode_status(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

ChildSet::~ChildSet() {
  for (const auto& [pid, tag] : children_) {
    kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
}

bool ChildSet::start(int tag, const std::vector<std::string>& args, int output) {
  if (args.empty()) return false;
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const FileDescriptor nothing(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (nothing) posix_spawn_file_actions_adddup2(&actions, nothing.get(), 0);
  if (output >= 0) posix_spawn_file_actions_adddup2(&actions, output, 1);
  pid_t pid = -1;
  int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  children_[pid] = tag;
  return true;
}

// Only our own children are reaped (waitpid(-1) would also take children the
// caller started elsewhere), so each is polled; 5 ms is nothing next to a
// transfer.
std::optional<ChildSet::Ended> ChildSet::wait_any() {
  while (!children_.empty()) {
    for (auto it = children_.begin(); it != children_.end(); ++it) {
      int status = 0;
      pid_t done = waitpid(it->first, &status, WNOHANG);
      if (done == it->first || (done < 0 && errno == ECHILD)) {
        Ended ended{it->second, done < 0 ? -1 : decode_status(status)};
        children_.erase(it);
        return ended;
      }
    }
    usleep(5000);
  }
  return std::nullopt;
}

}  // namespace morbs::platform
