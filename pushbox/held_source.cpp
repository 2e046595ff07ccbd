#include "pushbox/held_source.h"

#include <filesystem>
#include <system_error>

#include "platform/file_region.h"
#include "platform/regular_file.h"

namespace morbs::pushbox {

std::string unreadable_source(const std::string& path) {
  std::error_code ec;
  const std::filesystem::file_status st = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(st)) return "no such file";
  if (std::filesystem::is_directory(st)) return "it is a directory";
  if (!std::filesystem::is_regular_file(st)) return "it is not a regular file";
  return "it cannot be read";
}

std::shared_ptr<const HeldSource> HeldSource::open(const std::string& path) {
  if (!platform::is_regular_file(path)) return nullptr;
  platform::FileDescriptor fd = platform::open_for_reading(path);
  if (!fd) return nullptr;
  const std::optional<platform::FileState> start = platform::state_of(fd.get());
  if (!start) return nullptr;
  return std::shared_ptr<const HeldSource>(new HeldSource(path, std::move(fd), *start));
}

bool HeldSource::changed() const {
  const std::optional<platform::FileState> now = platform::state_of(fd_.get());
  // Copies of a whole file are read by name: the name must still be this file.
  const std::optional<platform::FileState> named = platform::state_at(path_);
  return !now || *now != start_ || !named || *named != start_;
}

}  // namespace morbs::pushbox
