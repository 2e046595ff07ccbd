// Several children at once, each started with an argument vector (never a
// shell), waited for in the order they end. Used where transfers run side by
// side; the caller stays single-threaded.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_descriptor.h"

namespace morbs::platform {

// Bytes a child reads on its standard input: `length` bytes of the file of
// `fd` from `offset`, fed through a pipe by a small feeder process of our
// own (the descriptor's position is never moved).
struct InputRange {
  int fd = -1;
  int64_t offset = 0;
  int64_t length = 0;
};

class ChildSet {
 public:
  ChildSet() = default;
  ~ChildSet();  // children still running are killed and reaped
  ChildSet(const ChildSet&) = delete;
  ChildSet& operator=(const ChildSet&) = delete;

  // Starts argv[0] (searched on PATH) with standard input from /dev/null
  // (or `input` when given),
  // standard output to `output` when it is a descriptor (the child then
  // shares its position), else inherited like standard error. The child
  // dies with this process, however it ends. False when it could not be
  // started.
  bool start(int tag, const std::vector<std::string>& argv, int output = -1, const InputRange* input = nullptr);

  struct Ended {
    int tag;
    int exit_code;  // 128 + signal when it was killed
  };
  // Waits for the next child to end; nullopt when none is running or none
  // ended within `timeout_ms` (below 0: no limit).
  std::optional<Ended> wait_any(int timeout_ms = -1);

  size_t running() const { return children_.size(); }

 private:
  // A feeder for a child's input; false when none could be started.
  bool start_feeder(const InputRange& input, FileDescriptor& read_end);
  void reap_feeders(bool wait);

  std::map<int, int> children_;  // pid -> tag
  std::vector<int> feeders_;     // pids of input feeders, reaped as they end
};

}  // namespace morbs::platform
