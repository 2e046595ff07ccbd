#include "peers/morbnode/sftp_paths.h"

#include <sys/stat.h>
#include <vector>

#include "peers/morbnode/node_store.h"

namespace morbs::node {

namespace {
const std::string private_top = std::string("/") + private_dir_name;
}  // namespace

std::string normalize_client_path(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string result;
  for (const auto& p : parts) result += "/" + p;
  return result.empty() ? "/" : result;
}

std::optional<std::filesystem::path> PathMap::local(const std::string& client_path) const {
  const std::string normal = normalize_client_path(client_path);
  if (normal == private_top || normal.rfind(private_top + "/", 0) == 0) return std::nullopt;
  std::filesystem::path local = root_;
  size_t start = 1;
  while (start < normal.size()) {
    size_t end = normal.find('/', start);
    if (end == std::string::npos) end = normal.size();
    local /= normal.substr(start, end - start);
    struct stat st {};
    if (lstat(local.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return std::nullopt;
    start = end + 1;
  }
  return local;
}

}  // namespace morbs::node
