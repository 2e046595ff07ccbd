// --sftp-fail-opens and --sftp-fail-name: SFTP opens of a file that the node
// refuses with "permission denied", so that tests can make a transfer fail
// a given number of times, or always for one file. One object serves every
// session of the node: the first N opens are the node's, not a session's.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "peers/morbnode/options.h"

namespace morbs::node {

class OpenFaults {
 public:
  explicit OpenFaults(const Options& options);

  // Called once for every open of a file, with the path as the client sent
  // it: true when that open is to be refused. Every open counts towards the
  // first N, whether refused by name or not. Safe from any thread.
  bool refuse(std::string_view client_path);

 private:
  std::atomic<int64_t> first_left_;
  const std::string name_;  // empty: no open is refused by its name
};

}  // namespace morbs::node
