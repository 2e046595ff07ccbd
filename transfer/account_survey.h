// What an account holds, file by file, piece by piece and copy by copy, and
// what is wrong with it: every piece should be stored twice, each copy held
// by its node with the size and digest of its twin. The check behind
// pullbox -check and pushbox -repair.
#pragma once

#include <array>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/nodes/node_table.h"
#include "core/session/settings.h"
#include "transfer/copy_check.h"
#include "transfer/run_env.h"

namespace morbs {

enum class CopyFault {
  none,
  not_listed,      // no list that came names it
  record_deleted,  // its only record says it is deleted or archived
  node_silent,     // its node does not answer
  missing,         // its node does not hold it
  sizes_differ,    // it and its twin differ in size
  digests_differ,  // it and its twin differ in digest
  rotten,          // its bytes are not those its node recorded
  unreadable,      // it could not be downloaded
};

struct CopyOf {
  Copy copy = Copy::basic;
  std::string line;  // its list line; empty when it is in no list
  int node = -1;     // 0..3
  std::optional<StoredCopy> where;
  CopyState state;
  CopyFault fault = CopyFault::not_listed;
  bool good() const { return fault == CopyFault::none; }
  // Its node holds bytes that may be the piece's (twins that differ: one
  // of them is).
  bool usable() const {
    return fault == CopyFault::none || fault == CopyFault::sizes_differ || fault == CopyFault::digests_differ;
  }
};

struct Piece {
  std::string name;  // its stored name
  int part = -1;     // -1: a whole file
  std::array<CopyOf, 2> copies;  // basic, second
  int good_copies() const { return copies[0].good() + copies[1].good(); }
};

struct StoredFile {
  enum class Verdict { redundant, one_copy, lost };
  std::string name;  // "prefix:fname"
  std::vector<Piece> pieces;
  Verdict verdict() const;
};

struct Survey {
  std::vector<StoredFile> files;
  std::vector<int> silent;     // nodes (0..3) that did not answer
  std::set<int> no_digests;    // nodes that gave a copy without a digest
};

// The files the list lines name, each with its pieces (a split file's
// from part 0 to the highest listed, gaps included) and both copies of
// each, as the lines say (not asked of any node yet). A file whose every
// record is deleted or archived is no longer held and left out.
std::vector<StoredFile> files_of(const std::vector<std::string>& lines, const Settings& settings);

// Asks the node of every listed copy for it (chkfile) and marks what is
// wrong: a silent node, a missing copy, twins that differ in size or digest.
void ask_nodes(Survey& survey, const NodeTable& nconf, const Settings& settings, NodeExchange& exchange);

// Downloads every copy its node holds and compares its digest with the
// node's (and, where nodes keep none, with its twin's): rot the node has
// not seen. Scratch space: the copies under way, in files with no name.
void read_every_copy(Survey& survey, const NodeTable& nconf, std::string_view id, const Settings& settings,
                     RunEnv& env);

// A few words for what is wrong with a copy.
std::string fault_text(const CopyOf& copy);

// The copy of a piece a repair would make anew: the one that is not good;
// of two, the one that is known to be bad rather than one whose node could
// not be read.
const CopyOf& copy_to_restore(const Piece& piece);

// Why `named`, of a piece with no good copy, cannot be restored. A copy
// whose node could not be read (it stalled, it does not answer) may be
// good: that is said, not that no good copy is left.
std::string no_good_copy_text(const Piece& piece, const CopyOf& named);

}  // namespace morbs
