#include "pushbox/upload.h"

#include <filesystem>
#include <fstream>

#include "platform/process.h"
#include "platform/regular_file.h"
#include "pushbox/upload_flow.h"

namespace morbs::pushbox {

using morbs::Status;
using morbs::platform::remove_file;

int64_t get_size_local_file(const std::string& path) {
  if (!morbs::platform::is_regular_file(path)) return -1;
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return -1;
  auto end = file.tellg();
  return end < 0 ? -1 : static_cast<int64_t>(end);
}

Status unchanged(const UploadRequest& upload) {
  if (upload.source && upload.source->changed()) return Status::failure(changed_while_stored);
  return Status::success();
}

void remove_parts_of_ended_runs() {
  namespace fs = std::filesystem;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(".", error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(part_file_stem, 0) != 0) continue;
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) continue;
    const std::string tag = name.substr(dot + 1);
    if (tag.empty() || tag.find_first_not_of("0123456789") != std::string::npos || tag.size() > 9) continue;
    if (!morbs::platform::process_exists(std::stoi(tag)) && morbs::platform::is_regular_file(name))
      remove_file(name);
  }
}

Status upload(const UploadRequest& upload, bool matrix, const morbs::Settings& settings, const std::string& uid32,
              morbs::RunEnv& env) {
  return upload_files({upload}, {matrix}, one_file_form, settings, uid32, env).front();
}

}  // namespace morbs::pushbox
