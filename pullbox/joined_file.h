// The file a download grows in, beside the user's file. Where the file
// system allows, it has no name at all until every piece is in (O_TMPFILE)
// and is then linked under the user's name: nothing half-written is ever
// seen, and a run stopped in any way leaves nothing behind. Elsewhere it is
// made under a hidden name of this run's own, held while the run lives: a
// signal removes it, and the next run removes any that no live run holds.
// It is filled in place by the piece downloads (each writes its own region
// through a descriptor of its own, so nothing is copied afterwards), and a
// failure leaves an existing file of the user's name as it was.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_region.h"
#include "platform/held_file.h"

namespace morbs::pullbox {

// The hidden names tried in turn beside fn_out for a file being joined.
inline constexpr int join_names = 100;
inline constexpr const char* join_stem = ".pullbox_join_";
std::filesystem::path join_name_beside(const std::string& fn_out, int n);

// Join files in the directory of fn_out that no live run holds: what runs
// that were killed, or older versions, left there.
void remove_stale_joins(const std::string& fn_out);

class JoinedFile {
 public:
  JoinedFile() = default;
  ~JoinedFile();  // removes the file unless finished
  JoinedFile(const JoinedFile&) = delete;
  JoinedFile& operator=(const JoinedFile&) = delete;

  // False when no file beside fn_out could be created.
  bool create(const std::string& fn_out);
  // A descriptor of its own positioned at `offset`, kept open here; -1 when
  // the file cannot be opened again.
  int region_at(int64_t offset);
  // Where the file is, for a writer that opens it by name.
  const std::string& path() const { return path_; }
  // Gives the file the name fn_out; false (the file removed) when it cannot.
  bool finish(const std::string& fn_out);

 private:
  // A fresh hidden name beside fn_out, created and held; false when none.
  bool create_named(const std::string& fn_out, std::string& path, std::optional<platform::HeldFile>& held);

  platform::FileDescriptor unnamed_;  // the file, while it has no name
  std::string path_;
  std::optional<platform::HeldFile> held_;
  std::vector<platform::FileDescriptor> regions_;
  bool finished_ = false;
};

}  // namespace morbs::pullbox
