#include "pullbox/joined_file.h"

#include <cerrno>
#include <set>
#include <system_error>

#include "platform/interrupt_cleanup.h"
#include "platform/process.h"
#include "platform/unnamed_file.h"

namespace morbs::pullbox {

namespace fs = std::filesystem;

namespace {

std::string directory_of(const std::string& fn_out) {
  const fs::path dir = fs::path(fn_out).parent_path();
  return dir.empty() ? "." : dir.string();
}

}  // namespace

fs::path join_name_beside(const std::string& fn_out, int n) {
  // Beside fn_out: the final rename stays on one file system. The process
  // id keeps two runs in one folder apart.
  return fs::path(fn_out).parent_path() /
         (join_stem + std::to_string(platform::own_process_id()) + "_" + std::to_string(n));
}

void remove_stale_joins(const std::string& fn_out) {
  // Once per folder and run.
  static std::set<std::string> swept;
  const std::string dir = directory_of(fn_out);
  if (!swept.insert(dir).second) return;
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(join_stem, 0) != 0 || !entry.is_regular_file(ec)) continue;
    if (platform::HeldFile::held_elsewhere(entry.path().string())) continue;  // a running download's own
    std::error_code ignored;
    fs::remove(entry.path(), ignored);
  }
}

JoinedFile::~JoinedFile() {
  regions_.clear();
  if (!path_.empty() && !finished_ && !unnamed_) {
    std::error_code ignored;
    fs::remove(path_, ignored);
    platform::keep_on_interrupt();
  }
}

bool JoinedFile::create_named(const std::string& fn_out, std::string& path,
                              std::optional<platform::HeldFile>& held) {
  // A run joining many files in one folder goes on from the name it took last.
  static int next_name = 0;
  for (int tried = 0; tried < join_names; ++tried) {
    const std::string candidate = join_name_beside(fn_out, next_name++).string();
    platform::FileDescriptor fd = platform::create_new_file(candidate);
    if (fd) {
      path = candidate;
      held = platform::HeldFile::hold(candidate, false);
      return true;
    }
    if (errno != EEXIST) break;
  }
  return false;
}

bool JoinedFile::create(const std::string& fn_out) {
  remove_stale_joins(fn_out);
  unnamed_ = platform::create_unnamed_file(directory_of(fn_out));
  if (unnamed_) {
    path_ = platform::path_of_descriptor(unnamed_.get());
    return true;
  }
  if (!create_named(fn_out, path_, held_)) return false;
  // Ctrl-C during the download takes the unfinished file with it.
  platform::remove_on_interrupt(path_);
  return true;
}

int JoinedFile::region_at(int64_t offset) {
  platform::FileDescriptor fd =
      unnamed_ ? platform::reopen_at(unnamed_.get(), offset) : platform::open_for_writing_at(path_, offset);
  if (!fd) return -1;
  regions_.push_back(std::move(fd));
  return regions_.back().get();
}

bool JoinedFile::finish(const std::string& fn_out) {
  bool written = true;
  for (auto& region : regions_) written = region.close() && written;
  regions_.clear();
  std::error_code ec;
  if (!written) {
    if (unnamed_) path_.clear();  // gone with its descriptor
    unnamed_.close();
    return false;
  }
  if (unnamed_) {
    if (platform::link_into_place(unnamed_.get(), fn_out)) {
      finished_ = true;
    } else if (errno == EEXIST) {
      // An existing file is replaced at once: the complete file takes a
      // name of this run's beside it, then the user's.
      std::string aside;
      std::optional<platform::HeldFile> held;
      for (int tried = 0; tried < join_names && aside.empty(); ++tried) {
        const std::string candidate = join_name_beside(fn_out, tried + join_names).string();
        if (platform::link_into_place(unnamed_.get(), candidate)) aside = candidate;
        else if (errno != EEXIST) break;
      }
      if (!aside.empty()) {
        platform::remove_on_interrupt(aside);
        fs::rename(aside, fn_out, ec);
        finished_ = !ec;
        if (!finished_) fs::remove(aside, ec);
        platform::keep_on_interrupt();
      }
    }
    unnamed_.close();
    path_.clear();  // it never had a name of its own
    return finished_;
  }
  fs::rename(path_, fn_out, ec);
  finished_ = !ec;
  if (finished_) platform::keep_on_interrupt();
  return finished_;
}

}  // namespace morbs::pullbox
