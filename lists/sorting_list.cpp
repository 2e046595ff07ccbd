#include "lists/sorting_list.h"

#include <unordered_set>
#include <vector>

#include "lists/cmp_long_numbers.h"
#include "lists/sort_list_in_stack_mode.h"
#include "lists/stored_name.h"
#include "platform/text_file.h"

namespace morbs {

namespace {

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

Lines sorting_list(const Lines& list, std::string_view path, Reporter& reporter) {
  Lines basic = sort_list_in_stack_mode(list, path, Copy::basic, reporter);
  Lines second = sort_list_in_stack_mode(list, path, Copy::second, reporter);
  // Without difference lines the result is the basic lines as they are.
  return merged(without_basic_twin(basic, second), basic);
}

Result<Lines> sorting_list(const std::string& path, Reporter& reporter) {
  std::optional<Lines> list = platform::read_lines(path);
  if (!list) return Status::failure("Error: can't open list " + path);
  return sorting_list(*list, path, reporter);
}

}  // namespace morbs
