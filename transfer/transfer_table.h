// The transfer table of an upload (named `curl_table` by convention): for
// every part, its basic and its second copy, each with its transfer and the
// list and archive lines that register it once it is up. Index k holds part
// k of both copies (a whole file is part 0).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "core/nodes/node_table.h"
#include "transfer/transfer.h"

namespace morbs {

enum class Mode { upload_singular, upload_matrix };

struct PlannedCopy {
  Transfer transfer;  // its `local` is the file each attempt sends
  std::string list_line;
  std::string archive_line;
  // The SHA-256 of the bytes its transfer sent, once the node's check of
  // them passed: registered at the end of both lines. Empty until then.
  std::string sent_sha256;
};

struct TransferTable {
  Mode mode = Mode::upload_singular;
  int part_count = 0;  // parts of a split file; 2 (the copies) for a whole one
  int64_t part_size = 0;
  int64_t last_part_size = 0;
  std::array<std::optional<PlannedCopy>, node_count> basic, second;

  int pieces() const { return mode == Mode::upload_singular ? 1 : part_count; }
  int64_t size_of_part(int k) const { return k < part_count - 1 ? part_size : last_part_size; }
  std::optional<PlannedCopy>& of(Copy copy, int k) { return (copy == Copy::basic ? basic : second)[k]; }
  const std::optional<PlannedCopy>& of(Copy copy, int k) const {
    return (copy == Copy::basic ? basic : second)[k];
  }
};

}  // namespace morbs
