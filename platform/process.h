// Child processes, always started with an argument vector: no shell ever
// sees a value, so blanks, quotes, "&", "|", "$" or a backtick arrive intact.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace morbs::platform {

struct RunOptions {
  std::string working_directory;  // empty: the caller's
  std::string standard_input;     // written to the child, then closed
  bool capture_output = true;     // standard output (and error, if merged)
  bool merge_standard_error = false;
  bool capture_error = false;     // standard error apart, into RunResult::error
  long timeout_ms = 0;            // 0: no limit; else the child is killed
};

struct RunResult {
  int exit_code = -1;  // 128 + signal when it was killed
  bool timed_out = false;
  std::string output;
  std::string error;  // with capture_error
};

// Runs argv[0] (searched on PATH) to its end. nullopt when it could not be
// started at all.
std::optional<RunResult> run_process(const std::vector<std::string>& argv,
                                     const RunOptions& options = {});

// A child that runs alongside the caller (a node of a test data network).
// Stopped with SIGTERM, then SIGKILL, when the object goes.
class BackgroundProcess {
 public:
  BackgroundProcess() = default;
  ~BackgroundProcess();
  BackgroundProcess(BackgroundProcess&& other) noexcept;
  BackgroundProcess& operator=(BackgroundProcess&& other) noexcept;
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;

  // Standard output and error go to `log_path` when it is not empty.
  bool start(const std::vector<std::string>& argv, const std::string& working_directory = {},
             const std::string& log_path = {});
  bool running();
  // SIGTERM, wait up to `grace_ms`, then SIGKILL. The exit code, or -1.
  int stop(long grace_ms = 3000);
  // Waits up to `timeout_ms` for the process to end by itself (then stops
  // it). The exit code, or -1.
  int wait(long timeout_ms);
  int pid() const { return pid_; }

 private:
  int pid_ = -1;
};

// This process's id: the tag that makes a run's scratch names its own.
int own_process_id();
// False only when no process of that id exists: a scratch file tagged with
// it belongs to a run that ended.
bool process_exists(int pid);

}  // namespace morbs::platform
