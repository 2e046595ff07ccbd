#include "pullbox/joined_file.h"

#include <cerrno>
#include <system_error>

#include "platform/interrupt_cleanup.h"

namespace morbs::pullbox {

namespace fs = std::filesystem;

fs::path join_name_beside(const std::string& fn_out, int n) {
  // Beside fn_out: the final rename stays on one file system.
  return fs::path(fn_out).parent_path() / (".pullbox_join_" + std::to_string(n));
}

JoinedFile::~JoinedFile() {
  regions_.clear();
  if (!path_.empty() && !finished_) {
    std::error_code ignored;
    fs::remove(path_, ignored);
    platform::keep_on_interrupt();
  }
}

bool JoinedFile::create(const std::string& fn_out) {
  // A run joining many files in one folder goes on from the name it took last.
  static int next_name = 0;
  for (int tried = 0; tried < join_names; ++tried) {
    const int n = next_name++ % (join_names * join_names);
    const std::string candidate = join_name_beside(fn_out, n).string();
    platform::FileDescriptor fd = platform::create_new_file(candidate);
    if (fd) {
      path_ = candidate;
      // Ctrl-C during the download takes the unfinished file with it.
      platform::remove_on_interrupt(path_);
      return true;
    }
    if (errno != EEXIST) break;
  }
  return false;
}

int JoinedFile::region_at(int64_t offset) {
  platform::FileDescriptor fd = platform::open_for_writing_at(path_, offset);
  if (!fd) return -1;
  regions_.push_back(std::move(fd));
  return regions_.back().get();
}

bool JoinedFile::finish(const std::string& fn_out) {
  bool written = true;
  for (auto& region : regions_) written = region.close() && written;
  regions_.clear();
  std::error_code ec;
  if (written) fs::rename(path_, fn_out, ec);
  finished_ = written && !ec;
  if (finished_) platform::keep_on_interrupt();
  return finished_;
}

}  // namespace morbs::pullbox
