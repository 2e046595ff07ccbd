// The steps of pullbox -rd that a download of one file and of many share:
// which list lines are the pieces of a stored file, which copies each piece
// may come from, and asking a node for one of them.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/report/reporter.h"
#include "core/status.h"
#include "transfer/read_planning.h"

namespace morbs::pullbox {

inline constexpr size_t fn_read_limit = 256;
inline constexpr size_t fn_out_limit = 1024;

// The value of `key` in a list line; empty when it has none.
std::string value_of(const std::string& line, std::string_view key);

// Whether list.q is a regular file that can be read.
bool list_readable();

// The name piece k must have: the one name of a whole file, or the part
// name of the same upload with postfix k. The selection matches names as
// substrings, so two uploads of one name, or a part missing from the list,
// would otherwise join into a wrong file.
bool is_piece(const std::string& first, const std::string& stored, int k);

// The lines of the selection up to the first that is not piece k of the
// first one's upload; `missing` is that k, or -1 when every line is a piece.
std::vector<std::string> pieces_of(const std::vector<std::string>& selection, int& missing);

// The copies a piece may come from, in the order they are tried: the line
// the selection chose, then its twin in the list (the same FN, the other
// copy), unless the chosen one's record is deleted and the twin's is not.
using Sources = std::vector<std::string>;
std::vector<Sources> sources_of(const std::vector<std::string>& pieces);

// "basic" or "second", for the copy on a list line.
std::string copy_name(const std::string& line);

// Asks the node of the copy on a list line for it.
using PiecePlanner = std::function<Result<PieceSource>(const std::string& line)>;

// A piece as its node gave it, to be judged first by the digest its own list
// line carries, then by the one its node recorded (twin_digest after both).
Result<PieceSource> listed_digest_first(const std::string& line, Result<PieceSource> piece);

// Piece k from the first of its sources, from `next` on, that its node
// gives; each one passed over is said.
Result<PieceSource> plan_from(const PiecePlanner& plan_piece, Reporter& reporter, const Sources& sources,
                              size_t& next, size_t k);

// The digest the twin's node recorded for a piece whose own node keeps
// none (`used` is the source it comes from); nothing when no other node of
// the piece keeps one.
std::optional<std::string> twin_digest(const PiecePlanner& plan_piece, const Sources& sources, size_t used);

}  // namespace morbs::pullbox
