// The prepared list (tmp_list.q, view lines) rewritten into the lines
// promptwin shows: "DATE  FLAG  FN" for the listing, "DATE  FN" for a choice.
#pragma once

#include <cstddef>

namespace morbs::deskbox {

struct Rewritten {
  bool created = false;  // "tmp" could be written
  size_t lines = 0;
};

// Reads tmp_list.q and writes "tmp". A view line with a value beyond its
// field (DATE 79, FLAG 47, FN 255 characters) is left out with a message:
// a cut name would name another file.
Rewritten rewrite_prepared_list(bool with_flag);

}  // namespace morbs::deskbox
