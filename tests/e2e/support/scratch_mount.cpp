#include "tests/e2e/support/scratch_mount.h"

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace morbs::e2e {

ScratchMount::ScratchMount(const std::filesystem::path& at, const std::string& size) : at_(at) {
  if (::geteuid() != 0) {
    why_ = "mounting a tmpfs needs root";
    return;
  }
  std::error_code ec;
  std::filesystem::create_directories(at_, ec);
  const std::string options = "size=" + size + ",mode=0755";
  if (::mount("morbs-test", at_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
    why_ = "cannot mount a tmpfs at " + at_.string() + ": " + std::strerror(errno);
    return;
  }
  mounted_ = true;
}

ScratchMount::~ScratchMount() {
  // Lazily: a process the test left may still sit in it.
  if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
}

bool ScratchMount::make_read_only() {
  if (::mount("morbs-test", at_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, nullptr) == 0)
    return true;
  why_ = "cannot remount " + at_.string() + " read-only: " + std::strerror(errno);
  return false;
}

}  // namespace morbs::e2e
