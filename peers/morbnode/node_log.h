// The node's --log file: a line for every query request and every SFTP
// login, so that a test can see what reached the node. Both services write
// it, one line at a time.
#pragma once

#include <mutex>
#include <string>

namespace morbs::node {

class NodeLog {
 public:
  // An empty path: nothing is written.
  explicit NodeLog(std::string path);

  // Appends `text` and a newline; bytes that would break the line are
  // escaped (\xNN), so every call is exactly one line.
  void append(const std::string& text);

 private:
  const std::string path_;
  std::mutex mutex_;
};

// `text` with control characters, '\\' and bytes above 0x7e as \xNN.
std::string printable(const std::string& text);

}  // namespace morbs::node
