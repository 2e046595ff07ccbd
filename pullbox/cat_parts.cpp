#include "pullbox/cat_parts.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/file_region.h"
#include "platform/regular_file.h"
#include "pullbox/joined_file.h"

namespace morbs::pullbox {

namespace fs = std::filesystem;

namespace {

// Large blocks: a join copies as many bytes as the download brought, and
// small ones made it cost as much as a transfer.
constexpr size_t block_size = 1 << 20;

// A stream that is closed when it goes; `close` tells whether everything
// written reached the file.
class File {
 public:
  File() = default;
  explicit File(std::FILE* f) : f_(f) {}
  ~File() { close(); }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  File(File&& other) noexcept : f_(other.f_) { other.f_ = nullptr; }
  File& operator=(File&& other) noexcept {
    if (this != &other) {
      close();
      f_ = other.f_;
      other.f_ = nullptr;
    }
    return *this;
  }

  std::FILE* get() const { return f_; }
  explicit operator bool() const { return f_ != nullptr; }
  bool close() {
    if (!f_) return true;
    bool ok = std::fclose(f_) == 0;
    f_ = nullptr;
    return ok;
  }

 private:
  std::FILE* f_ = nullptr;
};

// The joined file grows under a name of its own in fn_out's directory (so
// the final rename stays on one file system); exclusive creation never
// takes over a file that is there.
File create_beside(const std::string& fn_out, fs::path& temporary) {
  for (int n = 0; n < join_names; ++n) {
    temporary = join_name_beside(fn_out, n);
    if (std::FILE* f = std::fopen(temporary.c_str(), "wbx")) return File(f);
    if (errno != EEXIST) break;
  }
  return File();
}

void report_failed(const char* what, std::FILE* stream, int test) {
  if (test != 1) return;
  std::puts("");
  if (std::ferror(stream)) {
    std::perror(what);
  } else {
    std::printf("%s: the part ended early\n", what);
  }
}

// Part 0 becomes the start of the joined file by a rename where it can (a
// plain file on the same file system): a whole file is then not copied at
// all. The rename never replaces a file: a fresh name is taken the way
// create_beside takes one, and replacing an empty placeholder instead made
// the file system write the whole part out before the rename returned.
// False when the part has to be copied instead.
bool take_first_part(const std::string& part, const std::string& fn_out, fs::path& temporary) {
  std::error_code ec;
  if (!fs::is_regular_file(fs::symlink_status(part, ec))) return false;
  for (int n = 0; n < join_names; ++n) {
    temporary = join_name_beside(fn_out, n);
    if (platform::rename_without_replacing(part, temporary.string())) return true;
    if (errno != EEXIST) break;
  }
  return false;
}

// Lets the kernel copy `size` bytes from `part` to the end of `out`, with
// no pass through our memory. False when it cannot (another kind of file
// system, an old kernel) or stopped early; the stream positions then tell
// how far it came, and copy_part goes on from there.
bool copy_in_kernel(std::FILE* part, std::FILE* out, int64_t& size) {
  if (std::fflush(out) != 0) return false;
  const int64_t copied = platform::copy_in_kernel(fileno(part), fileno(out), size);
  if (copied > 0) size -= copied;
  // The streams read and write through the descriptors from where they are now.
  std::fseek(part, 0, SEEK_CUR);
  std::fseek(out, 0, SEEK_END);
  return size == 0;
}

// Copies exactly `size` bytes of `part` to `out`.
bool copy_part(std::FILE* part, std::FILE* out, int64_t size, int test) {
  if (copy_in_kernel(part, out, size)) return true;
  std::vector<char> block(block_size);
  for (int64_t left = size; left > 0;) {
    const size_t n = left < static_cast<int64_t>(block_size) ? static_cast<size_t>(left) : block_size;
    if (std::fread(block.data(), 1, n, part) != n) {
      report_failed("read blocks", part, test);
      return false;
    }
    if (std::fwrite(block.data(), 1, n, out) != n) {
      report_failed("write blocks", out, test);
      return false;
    }
    left -= static_cast<int64_t>(n);
  }
  return true;
}

}  // namespace

int64_t get_size_local_file(const std::string& path) {
  if (!platform::is_regular_file(path)) return -1;
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  return ec ? -1 : static_cast<int64_t>(size);
}

int cat_parts(const std::string& stem, const std::string& fn_out, int count, int test) {
  fs::path temporary;
  int first = 0;
  File out;
  if (count > 0 && take_first_part(stem + "_0", fn_out, temporary)) {
    first = 1;
    // Not in append mode: the kernel copy refuses a file opened so.
    out = File(std::fopen(temporary.c_str(), "r+b"));
    if (out && std::fseek(out.get(), 0, SEEK_END) != 0) out.close();
  } else {
    out = create_beside(fn_out, temporary);
    if (!out) {
      if (test == 1) std::puts("\nError: can't open file for write");
      return -1;
    }
  }
  auto fail = [&] {
    out.close();
    std::error_code ec;
    fs::remove(temporary, ec);
    return -1;
  };
  if (!out) {
    if (test == 1) std::puts("\nError: can't open file for write");
    return fail();
  }
  for (int i = first; i < count; ++i) {
    const std::string name = stem + "_" + std::to_string(i);
    const int64_t size = get_size_local_file(name);
    File part(size < 0 ? nullptr : std::fopen(name.c_str(), "rb"));
    if (!part) {
      if (test == 1) std::printf("\nError: can't open part - %s\n", name.c_str());
      return fail();
    }
    if (!copy_part(part.get(), out.get(), size, test)) return fail();
    part.close();
    std::remove(name.c_str());
  }
  // A full disk may show only when the last buffer goes out.
  if (!out.close()) {
    if (test == 1) {
      std::puts("");
      std::perror("write blocks");
    }
    return fail();
  }
  std::error_code ec;
  fs::rename(temporary, fn_out, ec);
  if (ec) {
    if (test == 1) std::printf("\nError: can't write %s\n", fn_out.c_str());
    return fail();
  }
  return 0;
}

}  // namespace morbs::pullbox
