#include "platform/process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/file_region.h"

extern char** environ;

namespace morbs::platform {

namespace {

class Pipe {
 public:
  Pipe() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    read_ = FileDescriptor(fds[0]);
    write_ = FileDescriptor(fds[1]);
  }
  bool ok() const { return static_cast<bool>(read_); }
  int read_end() const { return read_.get(); }
  int write_end() const { return write_.get(); }
  void close_read() { read_.close(); }
  void close_write() { write_.close(); }

 private:
  FileDescriptor read_, write_;
};

std::vector<char*> to_argv(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  return argv;
}

int decode_status(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// Spawns with the given descriptors as standard input/output/error (-1: keep).
pid_t spawn(const std::vector<std::string>& args, const std::string& cwd, int in_fd,
            int out_fd, int err_fd) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (in_fd >= 0) posix_spawn_file_actions_adddup2(&actions, in_fd, 0);
  if (out_fd >= 0) posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
  if (err_fd >= 0) posix_spawn_file_actions_adddup2(&actions, err_fd, 2);
  if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  auto argv = to_argv(args);
  pid_t pid = -1;
  int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

}  // namespace

std::optional<RunResult> run_process(const std::vector<std::string>& argv,
                                     const RunOptions& options) {
  if (argv.empty()) return std::nullopt;
  Pipe input, output;
  if (!input.ok() || !output.ok()) return std::nullopt;
  int out_fd = options.capture_output ? output.write_end() : -1;
  // Standard error apart goes to a file with no name: read once the child
  // ended, it never blocks the child the way a second unread pipe could.
  FileDescriptor error_file;
  if (options.capture_error && !options.merge_standard_error) {
    error_file = create_nameless_file(std::filesystem::temp_directory_path().string());
    if (!error_file) return std::nullopt;
  }
  int err_fd = options.merge_standard_error ? out_fd : error_file ? error_file.get() : -1;
  pid_t pid = spawn(argv, options.working_directory, input.read_end(), out_fd, err_fd);
  if (pid < 0) return std::nullopt;
  input.close_read();
  output.close_write();

  RunResult result;
  size_t written = 0;
  const std::string& in = options.standard_input;
  if (in.empty()) input.close_write();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(options.timeout_ms);
  bool output_open = options.capture_output;
  if (!options.capture_output) output.close_read();
  while (output_open || input.write_end() >= 0) {
    pollfd fds[2];
    nfds_t n = 0;
    if (output_open) fds[n++] = {output.read_end(), POLLIN, 0};
    if (input.write_end() >= 0) fds[n++] = {input.write_end(), POLLOUT, 0};
    int wait_ms = -1;
    if (options.timeout_ms > 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now()).count();
      if (left <= 0) {
        result.timed_out = true;
        break;
      }
      wait_ms = static_cast<int>(left);
    }
    int ready = poll(fds, n, wait_ms);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;
    for (nfds_t i = 0; i < n; ++i) {
      if (!fds[i].revents) continue;
      if (fds[i].fd == output.read_end()) {
        char buf[65536];
        ssize_t got = ::read(output.read_end(), buf, sizeof buf);
        if (got > 0) result.output.append(buf, static_cast<size_t>(got));
        else if (got == 0 || errno != EINTR) output_open = false;
      } else {
        ssize_t put = ::write(input.write_end(), in.data() + written, in.size() - written);
        if (put > 0) written += static_cast<size_t>(put);
        if (put < 0 && errno != EINTR) input.close_write();
        if (written == in.size()) input.close_write();
      }
    }
  }
  if (!options.capture_output && options.timeout_ms > 0) {
    // Nothing to read: wait for the child within the limit.
    while (!result.timed_out) {
      int status = 0;
      pid_t done = waitpid(pid, &status, WNOHANG);
      if (done == pid) {
        result.exit_code = decode_status(status);
        if (error_file) result.error = read_from_start(error_file.get()).value_or("");
        return result;
      }
      if (std::chrono::steady_clock::now() >= deadline) result.timed_out = true;
      else usleep(10000);
    }
  }
  if (result.timed_out) kill(pid, SIGKILL);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exit_code = decode_status(status);
  if (error_file) result.error = read_from_start(error_file.get()).value_or("");
  return result;
}

BackgroundProcess::~BackgroundProcess() { stop(); }

BackgroundProcess::BackgroundProcess(BackgroundProcess&& other) noexcept : pid_(other.pid_) {
  other.pid_ = -1;
}

BackgroundProcess& BackgroundProcess::operator=(BackgroundProcess&& other) noexcept {
  if (this != &other) {
    stop();
    pid_ = other.pid_;
    other.pid_ = -1;
  }
  return *this;
}

bool BackgroundProcess::start(const std::vector<std::string>& argv,
                              const std::string& working_directory,
                              const std::string& log_path) {
  stop();
  if (argv.empty()) return false;
  FileDescriptor log;
  if (!log_path.empty()) {
    log = FileDescriptor(::open(log_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    if (!log) return false;
  }
  const FileDescriptor nothing(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  pid_ = spawn(argv, working_directory, nothing.get(), log.get(), log.get());
  return pid_ > 0;
}

bool BackgroundProcess::running() {
  if (pid_ <= 0) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    pid_ = -1;
    return false;
  }
  return true;
}

int BackgroundProcess::wait(long timeout_ms) {
  if (pid_ <= 0) return -1;
  int status = 0;
  for (long waited = 0; waited <= timeout_ms; waited += 10) {
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return decode_status(status);
    }
    usleep(10000);
  }
  return stop();
}

int BackgroundProcess::stop(long grace_ms) {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  int status = 0;
  for (long waited = 0; waited <= grace_ms; waited += 10) {
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return decode_status(status);
    }
    usleep(10000);
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, &status, 0);
  pid_ = -1;
  return decode_status(status);
}

int own_process_id() { return static_cast<int>(::getpid()); }

bool process_exists(int pid) { return pid > 0 && (::kill(pid, 0) == 0 || errno != ESRCH); }

}  // namespace morbs::platform
