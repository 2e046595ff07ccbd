#include "peers/morbnode/node_log.h"

#include <cstdio>
#include <fstream>
#include <utility>

namespace morbs::node {

NodeLog::NodeLog(std::string path) : path_(std::move(path)) {}

void NodeLog::append(const std::string& text) {
  if (path_.empty()) return;
  const std::string line = printable(text) + "\n";
  std::lock_guard<std::mutex> lock(mutex_);
  std::ofstream(path_, std::ios::app) << line;
}

std::string printable(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      out += escaped;
    }
  }
  return out;
}

}  // namespace morbs::node
