#include "pullbox/read_steps.h"

#include <fstream>

#include "core/wire/query_string.h"
#include "lists/get_q_string_for_read.h"
#include "lists/list_line.h"
#include "lists/listed_digest.h"
#include "lists/stored_name.h"
#include "lists/work_files.h"
#include "platform/regular_file.h"
#include "platform/text_file.h"

namespace morbs::pullbox {


std::string value_of(const std::string& line, std::string_view key) {
  std::string v;
  select_value(line, key, v);
  return v;
}

bool list_readable() {
  if (!platform::is_regular_file(list_name)) return false;
  return static_cast<bool>(std::ifstream(list_name));
}

bool is_piece(const std::string& first, const std::string& stored, int k) {
  if (is_whole_file(first)) return k == 0 && stored == first;
  const std::string base = first.substr(0, first.rfind(':') + 1);
  return stored == base + std::to_string(k);
}

std::vector<std::string> pieces_of(const std::vector<std::string>& selection, int& missing) {
  std::vector<std::string> lines;
  std::string first;
  missing = -1;
  for (size_t k = 0; k < selection.size(); ++k) {
    const std::string& line = selection[k];
    const std::string stored = value_of(line, "FN");
    if (k == 0) first = stored;
    if (line.size() > list_line_limit || !is_piece(first, stored, static_cast<int>(k))) {
      missing = static_cast<int>(k);
      break;
    }
    lines.push_back(line);
  }
  return lines;
}

using Sources = std::vector<std::string>;

std::vector<Sources> sources_of(const std::vector<std::string>& pieces) {
  const std::vector<std::string> listed = platform::read_lines(list_name).value_or(std::vector<std::string>{});
  std::vector<Sources> sources;
  for (const std::string& line : pieces) {
    Sources s{line};
    for (const std::string& other : listed) {
      if (other.size() > list_line_limit || value_of(other, "FN") != value_of(line, "FN") ||
          value_of(other, "ORG") == value_of(line, "ORG"))
        continue;
      if (value_of(line, "CURR") == "delete" && value_of(other, "CURR") != "delete")
        s.insert(s.begin(), other);
      else
        s.push_back(other);
      break;
    }
    sources.push_back(std::move(s));
  }
  return sources;
}

std::string copy_name(const std::string& line) { return value_of(line, "ORG") == "0" ? "basic" : "second"; }

Result<PieceSource> listed_digest_first(const std::string& line, Result<PieceSource> piece) {
  if (piece)
    if (std::optional<std::string> listed = listed_digest(line)) piece->sha256 = std::move(listed);
  return piece;
}

Result<PieceSource> plan_from(const PiecePlanner& plan_piece, Reporter& reporter, const Sources& sources,
                              size_t& next, size_t k) {
  Status why = Status::failure("no copy of the piece in the list");
  for (; next < sources.size(); ++next) {
    Result<PieceSource> piece = plan_piece(sources[next]);
    if (piece) return piece;
    why = piece.status();
    if (next + 1 < sources.size())
      reporter.warn_line("pullbox: part " + std::to_string(k + 1) + ": the " + copy_name(sources[next]) +
                             " copy cannot be had (" + why.why() + "); the " + copy_name(sources[next + 1]) +
                             " copy is taken");
  }
  return why;
}

std::optional<std::string> twin_digest(const PiecePlanner& plan_piece, const Sources& sources, size_t used) {
  for (size_t i = 0; i < sources.size(); ++i) {
    if (i == used) continue;
    if (Result<PieceSource> twin = plan_piece(sources[i]); twin && twin->sha256) return twin->sha256;
  }
  return std::nullopt;
}

}  // namespace morbs::pullbox
