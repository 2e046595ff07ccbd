#include "deskbox/upload_name.h"

#include <algorithm>

namespace morbs::deskbox {

UploadName upload_name(std::string_view path) {
  if (path.empty()) return {"", UploadRefusal::empty_path};
  if (path.size() > upload_path_limit) return {"", UploadRefusal::path_too_long};
  size_t slash = path.rfind('/');
  std::string name(slash == std::string_view::npos ? path : path.substr(slash + 1));
  if (name.empty()) return {"", UploadRefusal::no_name};
  if (name.size() > upload_name_limit) return {name, UploadRefusal::name_too_long};
  std::replace(name.begin(), name.end(), ' ', '_');
  return {name, UploadRefusal::none};
}

}  // namespace morbs::deskbox
