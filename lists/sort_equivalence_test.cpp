// The sorting and the read selection as first written, one line at a time
// through files with repeated scans, kept here as the reference: the faster
// stages, which pass their lines in memory, must give the same lines. The
// reference reads the list without the lines that are no list lines, which
// the stages leave out.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "lists/cmp_long_numbers.h"
#include "lists/get_q_string_for_read.h"
#include "lists/list_line.h"
#include "lists/list_test_support.h"
#include "lists/part_sort.h"
#include "lists/work_files.h"
#include "platform/text_file.h"
#include "lists/sort_list_in_stack_mode.h"
#include "lists/sort_select_org.h"
#include "lists/sorting_list.h"
#include "lists/stored_name.h"

namespace morbs {
namespace {

using test::read_file;

// The reference's own files.
constexpr const char* tmp0_list = "tmp0_list.q";
constexpr const char* tmp_list_0 = "tmp_list_0.q";
constexpr const char* tmp_list_1 = "tmp_list_1.q";
constexpr const char* tmp_list_diff = "tmp_list_diff.q";
constexpr const char* tmp_list_r = "tmp_list_r.q";
constexpr const char* clean_list = "clean.q";

void remove_file(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
}

void save_file(const std::string& path, const std::string& line) { platform::append_line(path, line); }

// The list as the reference reads it: only the lines that are list lines.
void write_clean_list(const std::string& list) {
  std::istringstream in(list);
  std::string clean;
  for (std::string line; std::getline(in, line);)
    if (list_line_problem(line).ok()) clean += line + "\n";
  test::write_file(clean_list, clean);
}

bool names_a_file(std::string_view fn) {
  size_t colons = colon_count(fn);
  return colons == 1 || (colons == 2 && postfix_of(fn).substr(0, 1) == "0");
}

int written_select_org(const std::string& list, bool basic) {
  std::ifstream in(list, std::ios::binary);
  std::ofstream out(tmp0_list, std::ios::binary | std::ios::trunc);
  std::string line;
  while (next_list_line(in, line))
    if (field_of(line, "ORG") == (basic ? "0" : "1") && names_a_file(field_of(line, "FN"))) out << line << '\n';
  return 0;
}

void rewind(std::istream& in) {
  in.clear();
  in.seekg(0);
}

// Selection, then one scan of the whole selection per line written.
int written_stack_sort(const std::string& list, const std::string& copy) {
  const bool basic = copy == "basic";
  if (written_select_org(list, basic) != 0) return -1;
  std::ifstream selection(tmp0_list, std::ios::binary);
  std::ofstream out(basic ? tmp_list_0 : tmp_list_1, std::ios::binary | std::ios::trunc);
  long count = 0;
  std::string line;
  while (next_list_line(selection, line)) ++count;
  SortLimit limit;
  for (long k = 0; k < count; ++k) {
    rewind(selection);
    EXPECT_TRUE(part_sort(selection, limit, line));
    out << line << '\n';
  }
  selection.close();
  remove_file(tmp0_list);
  return 0;
}

std::string prefix_text(const std::string& line) {
  return std::string(prefix_of(field_of(line, "FN")));
}

int written_sorting_list(const std::string& list) {
  int basic_result = written_stack_sort(list, "basic");
  int second_result = written_stack_sort(list, "second");
  if (basic_result != 0 && second_result != 0) return -1;
  {
    std::ifstream basic(tmp_list_0, std::ios::binary), second(tmp_list_1, std::ios::binary);
    remove_file(tmp_list_diff);
    std::string s, b;
    while (next_list_line(second, s)) {
      rewind(basic);
      bool twin = false;
      while (!twin && next_list_line(basic, b)) twin = field_of(s, "FN") == field_of(b, "FN");
      if (!twin) save_file(tmp_list_diff, s);
    }
  }
  if (!std::filesystem::exists(tmp_list_diff)) {
    std::filesystem::rename(tmp_list_0, tmp_list);
    remove_file(tmp_list_1);
    return 0;
  }
  {
    std::ifstream diff(tmp_list_diff, std::ios::binary), basic(tmp_list_0, std::ios::binary);
    std::ofstream out(tmp_list, std::ios::binary | std::ios::trunc);
    std::string d, b;
    bool have_d = static_cast<bool>(next_list_line(diff, d));
    bool have_b = static_cast<bool>(next_list_line(basic, b));
    while (have_d && have_b) {
      if (cmp_long_numbers(prefix_text(d), prefix_text(b)) == 1) {
        out << d << '\n';
        have_d = next_list_line(diff, d);
      } else {
        out << b << '\n';
        have_b = next_list_line(basic, b);
      }
    }
    for (; have_d; have_d = next_list_line(diff, d)) out << d << '\n';
    for (; have_b; have_b = next_list_line(basic, b)) out << b << '\n';
  }
  remove_file(tmp_list_1);
  remove_file(tmp_list_0);
  remove_file(tmp_list_diff);
  return 0;
}

// The upload a list line's FN belongs to, and whether it is the wanted one
// ("prefix:name", or "name" under any prefix).
std::string upload_named(const std::string& fn) {
  return colon_count(fn) < 2 ? fn : fn.substr(0, fn.rfind(':'));
}
bool wanted_upload(const std::string& line, const std::string& wanted) {
  const std::string upload = upload_named(field_of(line, "FN"));
  if (upload == wanted) return true;
  return wanted.find(':') == std::string::npos && upload.find(':') != std::string::npos &&
         upload.substr(upload.find(':') + 1) == wanted;
}

// Candidates through "tmp_list_r.q", then one scan of them per part number.
int written_read_selection(const std::string& list, const std::string& wanted) {
  std::ifstream in(list, std::ios::binary);
  if (!in || wanted.empty()) return -1;
  remove_file(tmp_list_r);
  size_t counts[2] = {0, 0};
  std::string line;
  for (int pass = 0; pass < 2; ++pass) {
    rewind(in);
    const std::string org = pass == 0 ? "0" : "1";
    while (next_list_line(in, line))
      if (field_of(line, "ORG") == org && wanted_upload(line, wanted)) {
        save_file(tmp_list_r, line);
        ++counts[pass];
      }
  }
  std::ifstream candidates(tmp_list_r, std::ios::binary);
  if (!candidates || !next_list_line(candidates, line)) return -1;
  size_t colons = colon_count(field_of(line, "FN"));
  if (colons == 0) {
    candidates.close();
    remove_file(tmp_list_r);
    return -1;
  }
  remove_file(tmp_list);
  if (colons == 1) {
    save_file(tmp_list, line);
  } else {
    // As written but for the bound, which keeps every listed part.
    size_t last = last_part_listed(counts[0], counts[1]);
    const std::string upload = upload_named(field_of(line, "FN"));
    for (size_t i = 0; i <= last; ++i) {
      const std::string key = upload + ":" + std::to_string(i);
      rewind(candidates);
      std::string candidate;
      while (next_list_line(candidates, candidate))
        if (field_of(candidate, "FN") == key) {
          save_file(tmp_list, candidate);
          break;
        }
    }
  }
  candidates.close();
  remove_file(tmp_list_r);
  return 0;
}

// A list as the nodes give it, with the awkward cases mixed in: missing
// copies, split files of 2 to 4 parts, prefixes shared by several files,
// prefixes that are no number or of another length, names that hold other
// names, lines of no file.
struct Generated {
  std::string list;
  std::vector<std::string> names;  // "prefix:fname" of every file
};

Generated generate(unsigned seed, int files) {
  std::mt19937 random(seed);
  auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };
  std::vector<std::string> prefixes;
  std::vector<std::string> node_lists[4];
  Generated g;
  const char* flags[] = {"ishere", "archiv", "delete", "locked"};
  for (int f = 0; f < files; ++f) {
    std::string prefix;
    if (!prefixes.empty() && chance(10))
      prefix = prefixes[random() % prefixes.size()];
    else if (chance(3))
      prefix = chance(50) ? "x" + std::to_string(random() % 100) : std::to_string(random() % 1000);
    else
      prefix = "15147648" + std::to_string(10000000000ULL + random() % 90000000000ULL);
    prefixes.push_back(prefix);
    std::string fname = "file" + std::to_string(random() % (files / 2 + 1)) + (chance(30) ? ".pdf" : "");
    std::string name = prefix + ":" + fname;
    g.names.push_back(name);
    int parts = chance(30) ? 2 + static_cast<int>(random() % 3) : 0;
    const char* flag = flags[random() % 4];
    int basic_node = static_cast<int>(random() % 4);
    for (int p = 0; p < std::max(parts, 1); ++p) {
      std::string fn = parts ? name + ":" + std::to_string(p) : name;
      if (chance(2)) fn += ":9";  // three colons: no file
      for (int org = 0; org < 2; ++org) {
        if (chance(15)) continue;  // this copy's node did not answer
        int node = (basic_node + p + org) % 4;
        test::Entry e{fn, std::to_string(org), flag, "2018031" + std::to_string(random() % 10) + " 14:05:09"};
        e.port = 9201 + node;
        node_lists[node].push_back(e.line());
      }
    }
  }
  for (auto& node : node_lists) {
    std::shuffle(node.begin(), node.end(), random);
    for (const std::string& line : node) g.list += line + "\n";
  }
  return g;
}

TEST(SortEquivalence, TheFastSortGivesTheWrittenFilesLineForLine) {
  for (unsigned seed = 1; seed <= 30; ++seed) {
    test::WorkDir dir;
    Generated g = generate(seed, 5 + static_cast<int>(seed) * 5);
    test::write_file("list.q", g.list);

    write_clean_list(g.list);
    const Lines list = *platform::read_lines("list.q");
    RecordingReporter reporter(false);

    for (const char* copy : {"basic", "second"}) {
      const bool basic = std::string(copy) == "basic";
      const char* sorted = basic ? tmp_list_0 : tmp_list_1;
      ASSERT_EQ(written_stack_sort(clean_list, copy), 0);
      std::string expected = read_file(sorted);
      EXPECT_EQ(test::joined(sort_list_in_stack_mode(list, "list.q", basic ? Copy::basic : Copy::second, reporter)),
                expected)
          << "seed " << seed << " copy " << copy;
      remove_file(sorted);
    }

    ASSERT_EQ(written_sorting_list(clean_list), 0);
    std::string expected = read_file(tmp_list);
    remove_file(tmp_list);
    EXPECT_EQ(test::joined(sorting_list(list, "list.q", reporter)), expected) << "seed " << seed;
    EXPECT_EQ(test::files_here(), (std::vector<std::string>{"clean.q", "list.q"}));
  }
}

TEST(SortEquivalence, TheReadSelectionGivesTheWrittenFileForEveryName) {
  for (unsigned seed = 1; seed <= 10; ++seed) {
    test::WorkDir dir;
    Generated g = generate(seed, 40);
    test::write_file("list.q", g.list);
    write_clean_list(g.list);
    std::vector<std::string> wanted = g.names;
    for (const std::string& n : g.names) wanted.push_back(n.substr(n.find(':') + 1));
    wanted.insert(wanted.end(), {"file", "1", ":", "x", "pdf:1", "absent"});
    for (const std::string& w : wanted) {
      int expected_result = written_read_selection(clean_list, w);
      std::string expected = test::file_exists(tmp_list) ? read_file(tmp_list) : "-";
      remove_file(tmp_list);
      EXPECT_EQ(get_q_string_for_read("list.q", w), expected_result) << w;
      EXPECT_EQ(test::file_exists(tmp_list) ? read_file(tmp_list) : "-", expected) << w;
      remove_file(tmp_list);
    }
  }
}

}  // namespace
}  // namespace morbs
