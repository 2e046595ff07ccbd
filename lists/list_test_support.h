// For the tests of the list stages: a working directory of their own (the
// stages read and write their files there) and list lines as a node writes
// them.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace morbs::test {

// Makes a fresh temporary directory the working directory for its life.
class WorkDir {
 public:
  WorkDir() : previous_(std::filesystem::current_path()) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      auto candidate = std::filesystem::temp_directory_path() /
                       ("morbs-lists-" + std::to_string(random()));
      if (std::filesystem::create_directory(candidate)) {
        path_ = candidate;
        break;
      }
    }
    if (path_.empty()) throw std::runtime_error("no temporary directory");
    std::filesystem::current_path(path_);
  }
  ~WorkDir() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  WorkDir(const WorkDir&) = delete;
  WorkDir& operator=(const WorkDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

inline void write_file(const std::string& name, const std::string& content) {
  std::ofstream(name, std::ios::binary | std::ios::trunc) << content;
}

inline std::string read_file(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline bool file_exists(const std::string& name) { return std::filesystem::exists(name); }

// The lines of a text, each closed by "\n".
inline std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& l : lines) text += l + "\n";
  return text;
}

// The files in the working directory, so a test can see what was left.
inline std::vector<std::string> files_here() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator("."))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// One list line as a node stores it.
struct Entry {
  std::string fn;
  std::string org = "0";
  std::string curr = "ishere";
  std::string date = "20180315 14:05:09";
  int port = 9201;
  std::string disk = "accounts";

  std::string line() const {
    return "OP=listfiles&SUB=add&FN=" + fn + "&ID=00010100008&UID32=user01&ORG=" + org +
           "&PORT=" + std::to_string(port) + "&DISK=" + disk + "&CURR=" + curr + "&DATE=" +
           date + "&";
  }
};

inline std::string list_of(const std::vector<Entry>& entries) {
  std::string text;
  for (const Entry& e : entries) text += e.line() + "\n";
  return text;
}

// What the function printed to standard output.
template <typename F>
std::string printed_by(F&& f) {
  testing::internal::CaptureStdout();
  f();
  return testing::internal::GetCapturedStdout();
}

}  // namespace morbs::test
