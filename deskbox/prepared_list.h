// The prepared list (tmp_list.q, view lines) rewritten into the lines
// promptwin shows: "DATE  FLAG  FN" for the listing, "DATE  FN" for a choice.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>

namespace morbs::deskbox {

struct Rewritten {
  bool created = false;  // "tmp" could be written
  size_t lines = 0;
  // Each shown line and the line it stands for: a control character of a
  // name is shown as "?". Two lines shown alike stand for nothing (an empty
  // text): choosing one must not act on the other.
  std::map<std::string, std::string> real_of_shown;

  // The line a chosen shown line stands for; nullopt when it is ambiguous.
  std::optional<std::string> real_line(const std::string& chosen) const;
};

// Reads tmp_list.q and writes "tmp", the lines promptwin shows, each with its
// control characters as "?". A view line with a value beyond its field
// (DATE 79, FLAG 47, FN 255 characters) is left out with a message: a cut
// name would name another file.
Rewritten rewrite_prepared_list(bool with_flag);

}  // namespace morbs::deskbox
