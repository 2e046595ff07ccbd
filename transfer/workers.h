// Who carries out the engine's transfers: curl children of this process, or
// in tests a stand-in that plays them without a network.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/child_set.h"

namespace morbs {

class Workers {
 public:
  struct Ended {
    int tag;
    int exit_code;  // 0: the transfer is done
  };
  virtual ~Workers() = default;
  // Starts argv (argv[0] found on PATH), its standard output to
  // `output_fd` when that is a descriptor, its standard input the range
  // `input` when given. False when it cannot be started.
  virtual bool start(int tag, const std::vector<std::string>& argv, int output_fd,
                     const platform::InputRange* input = nullptr) = 0;
  // The next one to end; nothing when none is running or none ended within
  // `timeout_ms` (below 0: no limit).
  virtual std::optional<Ended> wait_any(int timeout_ms = -1) = 0;
  virtual size_t running() const = 0;
};

// Child processes, never through a shell; those still running when this
// goes are killed.
class ChildWorkers final : public Workers {
 public:
  bool start(int tag, const std::vector<std::string>& argv, int output_fd,
             const platform::InputRange* input = nullptr) override {
    return children_.start(tag, argv, output_fd, input);
  }
  std::optional<Ended> wait_any(int timeout_ms = -1) override {
    auto ended = children_.wait_any(timeout_ms);
    if (!ended) return std::nullopt;
    return Ended{ended->tag, ended->exit_code};
  }
  size_t running() const override { return children_.running(); }

 private:
  platform::ChildSet children_;
};

}  // namespace morbs
