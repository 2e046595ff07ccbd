// The file a download of several parts grows in, beside the user's file.
// It is created under a fresh hidden name, filled in place by the part
// downloads (each writes its own region through a descriptor of its own, so
// nothing is copied afterwards), and takes the user's name only when every
// part is in: a failure leaves an existing file of that name as it was, and
// an interruption (Ctrl-C) removes the unfinished file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_region.h"

namespace morbs::pullbox {

// The hidden names tried in turn beside fn_out for a file being joined.
inline constexpr int join_names = 100;
std::filesystem::path join_name_beside(const std::string& fn_out, int n);

class JoinedFile {
 public:
  JoinedFile() = default;
  ~JoinedFile();  // removes the file unless finished
  JoinedFile(const JoinedFile&) = delete;
  JoinedFile& operator=(const JoinedFile&) = delete;

  // False when no fresh name beside fn_out could be created.
  bool create(const std::string& fn_out);
  // A descriptor of its own positioned at `offset`, kept open here; -1 when
  // the file cannot be opened again.
  int region_at(int64_t offset);
  // Where the file is, for a writer that opens it by name.
  const std::string& path() const { return path_; }
  // Gives the file the name fn_out; false (the file removed) when it cannot.
  bool finish(const std::string& fn_out);

 private:
  std::string path_;
  std::vector<platform::FileDescriptor> regions_;
  bool finished_ = false;
};

}  // namespace morbs::pullbox
