#include "tests/e2e/support/temp_dir.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdlib.h>

namespace morbs::e2e {

TempDir::TempDir(const std::string& tag) {
  std::string pattern = (std::filesystem::temp_directory_path() / ("morbs-" + tag + "-XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create " + pattern);
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void TempDir::write(const std::string& name, const std::string& content) const {
  write_file(path_ / name, content);
}

std::string TempDir::read(const std::string& name) const { return read_file(path_ / name); }

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

void write_file(const std::filesystem::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

}  // namespace morbs::e2e
