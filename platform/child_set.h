// Several children at once, each started with an argument vector (never a
// shell), waited for in the order they end. Used where transfers run side by
// side; the caller stays single-threaded.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace morbs::platform {

class ChildSet {
 public:
  ChildSet() = default;
  ~ChildSet();  // children still running are killed and reaped
  ChildSet(const ChildSet&) = delete;
  ChildSet& operator=(const ChildSet&) = delete;

  // Starts argv[0] (searched on PATH) with standard input from /dev/null,
  // standard output to `output` when it is a descriptor (the child then
  // shares its position), else inherited like standard error. The child
  // dies with this process, however it ends. False when it could not be
  // started.
  bool start(int tag, const std::vector<std::string>& argv, int output = -1);

  struct Ended {
    int tag;
    int exit_code;  // 128 + signal when it was killed
  };
  // Waits for the next child to end; nullopt when none is running or none
  // ended within `timeout_ms` (below 0: no limit).
  std::optional<Ended> wait_any(int timeout_ms = -1);

  size_t running() const { return children_.size(); }

 private:
  std::map<int, int> children_;  // pid -> tag
};

}  // namespace morbs::platform
