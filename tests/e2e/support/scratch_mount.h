// A small tmpfs of a test's own, for the disks a user may run on: one that
// turns read-only, one that is full. Mounting needs root; a test without it
// is skipped with the reason, never passed silently.
#pragma once

#include <filesystem>
#include <string>

namespace morbs::e2e {

class ScratchMount {
 public:
  // Mounts a tmpfs of `size` (mount's size= text, e.g. "64k") at `at`,
  // which is created. `mounted()` tells whether it worked, `why()` why not.
  ScratchMount(const std::filesystem::path& at, const std::string& size);
  // Unmounted whatever the test did, so that its directory can go.
  ~ScratchMount();
  ScratchMount(const ScratchMount&) = delete;
  ScratchMount& operator=(const ScratchMount&) = delete;

  bool mounted() const { return mounted_; }
  const std::string& why() const { return why_; }
  const std::filesystem::path& path() const { return at_; }

  // Remounts it read-only; false (why() tells) when that fails.
  bool make_read_only();

 private:
  std::filesystem::path at_;
  bool mounted_ = false;
  std::string why_;
};

}  // namespace morbs::e2e
