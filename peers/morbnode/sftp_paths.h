// Client paths of the SFTP service, mapped under the node's root. ".." never
// climbs above the root, and no symbolic link is followed.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace morbs::node {

// The absolute client path of `path` ("." and relative paths start at "/").
std::string normalize_client_path(const std::string& path);

class PathMap {
 public:
  explicit PathMap(std::filesystem::path root) : root_(std::move(root)) {}
  // The local path, or nullopt when a component on the way is a symbolic link
  // or the path lies in the node's private directory.
  std::optional<std::filesystem::path> local(const std::string& client_path) const;

 private:
  std::filesystem::path root_;
};

}  // namespace morbs::node
