#include "lists/sorting_list.h"

#include <unordered_set>
#include <vector>

#include "lists/cmp_long_numbers.h"
#include "lists/list_line.h"
#include "lists/scratch_files.h"
#include "lists/sort_list_in_stack_mode.h"
#include "lists/stored_name.h"
#include "platform/regular_file.h"

namespace morbs {

namespace {

using Lines = std::vector<std::string>;

using platform::remove_file;

void remove_scratch() {
  remove_file(tmp0_list);
  remove_file(tmp_list_0);
  remove_file(tmp_list_1);
  remove_file(tmp_list_diff);
}

// The sorted lines of one copy; none when that copy could not be sorted, so
// that a file left by an earlier run is never read instead.
Lines sorted_copy(int sort_result, const char* path) {
  Lines lines;
  if (sort_result == 0) read_all_lines(path, lines);
  return lines;
}

// Second lines whose FN is the FN of no basic line, newest first as they are.
Lines without_basic_twin(const Lines& basic, const Lines& second) {
  std::unordered_set<std::string> basic_names;
  for (const std::string& line : basic) basic_names.insert(field_of(line, "FN"));
  Lines diff;
  for (const std::string& line : second)
    if (!basic_names.contains(field_of(line, "FN"))) diff.push_back(line);
  return diff;
}

// Both inputs are newest first; a difference line goes first only when its
// prefix is the greater one.
Lines merged(const Lines& diff, const Lines& basic) {
  Lines out;
  out.reserve(diff.size() + basic.size());
  size_t d = 0, b = 0;
  while (d < diff.size() && b < basic.size()) {
    std::string d_prefix(prefix_of(field_of(diff[d], "FN")));
    std::string b_prefix(prefix_of(field_of(basic[b], "FN")));
    if (cmp_long_numbers(d_prefix, b_prefix) == 1)
      out.push_back(diff[d++]);
    else
      out.push_back(basic[b++]);
  }
  out.insert(out.end(), diff.begin() + static_cast<long>(d), diff.end());
  out.insert(out.end(), basic.begin() + static_cast<long>(b), basic.end());
  return out;
}

}  // namespace

int sorting_list(const std::string& list) {
  int basic_result = sort_list_in_stack_mode(list, "basic");
  int second_result = sort_list_in_stack_mode(list, "second");
  if (basic_result != 0 && second_result != 0) {
    remove_scratch();
    return -1;
  }
  Lines basic = sorted_copy(basic_result, tmp_list_0);
  Lines second = sorted_copy(second_result, tmp_list_1);
  remove_file(tmp_list_diff);
  Lines diff = without_basic_twin(basic, second);
  if (!diff.empty() && !write_all_lines(tmp_list_diff, diff)) {
    remove_scratch();
    return -1;
  }
  // Without difference lines the result is the basic lines as they are.
  bool written = write_all_lines(tmp_list, merged(diff, basic));
  remove_scratch();
  return written ? 0 : -1;
}

}  // namespace morbs
