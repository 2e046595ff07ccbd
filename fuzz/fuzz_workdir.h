// A working directory of the fuzz run's own, so that the files a target
// writes never land where it was started; and standard output silenced,
// since the code under test prints as it goes.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace morbs::fuzz {

inline std::string& scratch_directory() {
  static std::string dir = "/tmp/morbs_fuzz_XXXXXX";
  return dir;
}

inline void enter_scratch_directory() {
  std::string& dir = scratch_directory();
  if (!mkdtemp(dir.data()) || chdir(dir.c_str()) != 0) {
    std::perror("fuzz scratch directory");
    std::abort();
  }
  // Gone after a run that ends normally; a crash leaves it for a look.
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(scratch_directory(), ignored);
  });
  int null = open("/dev/null", O_WRONLY);
  if (null >= 0) {
    dup2(null, STDOUT_FILENO);
    close(null);
  }
}

// Writes the whole input as `name` in the working directory.
inline void write_file(const char* name, const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(name, "wb");
  if (!file) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
}

// Adds a starting input to the corpus that scripts/fuzz names in
// MORBS_FUZZ_SEED_DIR (nothing when it is not set): deep paths are found
// sooner from a well-formed example.
inline void write_seed(const char* name, const void* data, size_t size) {
  const char* dir = std::getenv("MORBS_FUZZ_SEED_DIR");
  if (!dir || !*dir) return;
  std::string path = std::string(dir) + "/" + name;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
}

}  // namespace morbs::fuzz
