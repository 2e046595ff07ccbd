#include "lists/get_q_string_for_read.h"

#include <algorithm>
#include <map>
#include <vector>

#include "lists/stored_name.h"
#include "lists/work_files.h"
#include "platform/text_file.h"

namespace morbs {

namespace {

bool holds(const std::string& line, std::string_view text) {
  return line.find(text) != std::string::npos;
}

// For each part number i up to `last`, the first candidate that holds
// wanted + ":" + i. A line holds that key exactly where wanted + ":" is
// followed by the digits of i, so one walk over every such place finds all
// the numbers a line holds, without a scan of all candidates per number.
std::map<size_t, size_t> first_holders(const Lines& candidates, const std::string& wanted,
                                       size_t last) {
  const std::string stem = wanted + ":";
  std::map<size_t, size_t> holder;
  for (size_t c = 0; c < candidates.size(); ++c) {
    const std::string& line = candidates[c];
    for (size_t at = line.find(stem); at != std::string::npos; at = line.find(stem, at + 1)) {
      size_t digits = at + stem.size();
      // "0" is the only number whose text starts with "0".
      if (digits < line.size() && line[digits] == '0') {
        holder.try_emplace(0, c);
        continue;
      }
      size_t value = 0;
      for (size_t d = digits; d < line.size() && line[d] >= '0' && line[d] <= '9'; ++d) {
        value = value * 10 + static_cast<size_t>(line[d] - '0');
        if (value > last) break;
        holder.try_emplace(value, c);
      }
    }
  }
  return holder;
}

}  // namespace

Result<Lines> read_selection(const std::string& list, const std::string& wanted, Reporter& reporter) {
  if (wanted.empty()) return Status::failure("no name to read");
  std::optional<Lines> lines = platform::read_lines(list);
  if (!lines) return Status::failure("Error: can't open list " + list);
  Lines basic, second;
  for (size_t i = 0; i < lines->size(); ++i) {
    const std::string& line = (*lines)[i];
    if (!holds(line, wanted)) continue;
    bool is_basic = holds(line, "ORG=0"), is_second = holds(line, "ORG=1");
    if (!is_basic && !is_second) continue;
    if (!taken_as_list_line(list, static_cast<long>(i + 1), line, reporter)) continue;
    if (is_basic) basic.push_back(line);
    if (is_second) second.push_back(line);
  }
  Lines candidates = basic;
  candidates.insert(candidates.end(), second.begin(), second.end());
  if (candidates.empty()) return Status::failure("no line of the list holds the name");

  const size_t colons = colon_count(field_of(candidates.front(), "FN"));
  if (colons == 0) return Status::failure("no stored name");
  if (colons == 1) return Lines{candidates.front()};
  const size_t last = std::max(basic.size(), second.size());
  Lines pieces;
  for (const auto& [part, c] : first_holders(candidates, wanted, last)) pieces.push_back(candidates[c]);
  return pieces;
}

int get_q_string_for_read(const std::string& list, const std::string& wanted) {
  ConsoleReporter reporter(false);
  Result<Lines> pieces = read_selection(list, wanted, reporter);
  if (!pieces) return -1;
  platform::remove_file(tmp_list);
  if (pieces->empty()) return 0;
  return platform::write_lines(tmp_list, *pieces) ? 0 : -1;
}

}  // namespace morbs
