#include "peers/morbnode/open_faults.h"

namespace morbs::node {

OpenFaults::OpenFaults(const Options& options)
    : first_left_(options.sftp_fail_opens), name_(options.sftp_fail_name) {}

bool OpenFaults::refuse(std::string_view client_path) {
  // Taken one at a time, so that sessions side by side refuse N in all.
  int64_t left = first_left_.load();
  while (left > 0 && !first_left_.compare_exchange_weak(left, left - 1)) {
  }
  if (left > 0) return true;
  return !name_.empty() && client_path.find(name_) != std::string_view::npos;
}

}  // namespace morbs::node
