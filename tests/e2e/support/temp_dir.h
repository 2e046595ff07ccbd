// A directory of its own for one test, removed afterwards.
#pragma once

#include <filesystem>
#include <string>

namespace morbs::e2e {

class TempDir {
 public:
  explicit TempDir(const std::string& tag = "e2e");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  void write(const std::string& name, const std::string& content) const;
  std::string read(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

// The whole content of a file ("" when it cannot be read).
std::string read_file(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, const std::string& content);

}  // namespace morbs::e2e
