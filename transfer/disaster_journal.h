// Disaster files: every reservation an upload makes is written to one before
// its request goes out, so that an interrupted upload can be undone. A line
// is the reservation request followed by "IPADDR=" address "&PORT=" port "&".
// This type is the only reader and writer of these files.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/report/reporter.h"
#include "core/wire/node_exchange.h"
#include "core/status.h"
#include "platform/held_file.h"

namespace morbs {

// Any file whose name holds this is a disaster file.
inline constexpr std::string_view disaster_marker = ".disater";
// The longest line a disaster file may hold.
inline constexpr size_t disaster_line_limit = 511;

class DisasterJournal {
 public:
  // "<stored name>-singular.disater" or "<stored name>-matrix.disater".
  DisasterJournal(std::string_view stored_name, bool matrix);
  explicit DisasterJournal(std::string path) : path_(std::move(path)) {}

  const std::string& path() const { return path_; }
  bool exists() const;

  // Before an upload plans: a file of this name left by an interrupted run
  // is released first, and what cannot be released is kept aside under a
  // name that -clear_disaster still finds, never overwritten. The journal is
  // then this run's own, held against every other run while it lives; when
  // a running upload holds the name, a free one beside it is taken.
  void start_fresh(NodeExchange& exchange, Reporter& reporter);

  // Appends one reservation line; false when it could not be written.
  bool record(std::string_view line);

  // Sends, for every line, "OP=listfiles&SUB=chg&DISK=..&FN=..&ID=..&CURRNEW=delete&"
  // to the node the line names: the request that gives a reservation back
  // (the node's reply is not examined). A line that is malformed or whose
  // node cannot be reached is told and kept for a look or a later try; the
  // others are not sent again. The file goes when nothing is kept. Ok when nothing is kept (also when the file
  // cannot be opened).
  Status release(NodeExchange& exchange, Reporter& reporter);

  void remove();

 private:
  // Gives back the lines of a dead run's journal this run now holds, keeps
  // aside what cannot be given back, and empties it; false when what is
  // kept could not be written aside (the name is then left as it was).
  bool take_over_leftover(NodeExchange& exchange, Reporter& reporter);

  std::string path_;
  std::optional<platform::HeldFile> held_;
};

// Releases every disaster file of the current directory (telling each name
// as a detail), but those a running upload holds. Ok when none had to be
// kept.
Status release_all_disaster_files(NodeExchange& exchange, Reporter& reporter);

}  // namespace morbs
