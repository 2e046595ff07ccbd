#include "lists/get_q_string_for_read.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <vector>

#include "lists/list_line.h"
#include "lists/save_file.h"
#include "lists/scratch_files.h"
#include "lists/stored_name.h"
#include "platform/regular_file.h"

namespace morbs {

namespace {

using Lines = std::vector<std::string>;

using platform::remove_file;

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

int get_q_string_for_read(const std::string& list, const std::string& wanted) {
  std::ifstream in(list, std::ios::binary);
  if (!in || wanted.empty()) return -1;
  Lines basic, second;
  std::string line;
  for (long number = 1; next_list_line(in, line); ++number) {
    if (!holds(line, wanted)) continue;
    bool is_basic = holds(line, "ORG=0"), is_second = holds(line, "ORG=1");
    if (!is_basic && !is_second) continue;
    if (refused_as_too_long(list, number, line)) continue;
    if (is_basic) basic.push_back(line);
    if (is_second) second.push_back(line);
  }
  in.close();

  Lines candidates = basic;
  candidates.insert(candidates.end(), second.begin(), second.end());
  remove_file(tmp_list_r);
  if (candidates.empty()) return -1;
  write_all_lines(tmp_list_r, candidates);

  size_t colons = colon_count(field_of(candidates.front(), "FN"));
  int result = 0;
  if (colons == 0) {
    result = -1;
  } else {
    remove_file(tmp_list);
    if (colons == 1) {
      result = save_file(tmp_list, candidates.front()) == 0 ? 0 : -1;
    } else {
      size_t last = std::max(basic.size(), second.size());
      std::map<size_t, size_t> holder = first_holders(candidates, wanted, last);
      for (const auto& [part, c] : holder)
        if (save_file(tmp_list, candidates[c]) != 0) result = -1;
    }
  }
  remove_file(tmp_list_r);
  return result;
}

}  // namespace morbs
