// Times the list stages on a generated list.q: the path of "pullbox -ls"
// (sort, then print every file) and the four views deskbox prepares.
//
//   lists_bench DIR SINGULAR MATRIX
//
// writes DIR/list.q with SINGULAR whole files and MATRIX files in 4 parts,
// both copies of each, in node order as the nodes give them, and runs every
// stage in DIR, each three times. The printed listing goes to standard
// output (once per run), the figures to standard error.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "lists/get_q_string_for_read.h"
#include "lists/prepare_list.h"
#include "lists/print_list.h"
#include "lists/sorting_list.h"

namespace {

using morbs::sorting_list;

const char* const flags[] = {"ishere", "ishere", "ishere", "archiv", "delete", "locked"};

std::string line(const std::string& fn, int org, int node, int file) {
  char date[32];
  std::snprintf(date, sizeof date, "2018%02d%02d %02d:%02d:%02d", file % 12 + 1, file % 28 + 1,
                file % 24, file % 60, (file * 7) % 60);
  return "OP=listfiles&SUB=add&FN=" + fn + "&ID=00010100008&UID32=user01&ORG=" +
         std::to_string(org) + "&PORT=" + std::to_string(9201 + node) +
         "&DISK=" + (org ? "accounts1" : "accounts") + "&CURR=" + flags[file % 6] +
         "&DATE=" + date + "&";
}

// Files are uploaded in time order; each node appends the copies it takes.
// Returns a matrix file's name, for the read selection.
std::string generate(const std::string& path, int singular, int matrix, long& lines) {
  std::vector<std::string> node_lists[4];
  std::string a_matrix_file;
  const int files = singular + matrix;
  for (int f = 0; f < files; ++f) {
    std::string nano = std::to_string(1000 + f * 37);
    std::string name = "1514764800" + std::string(9 - nano.size(), '0') + nano + ":file" +
                       std::to_string(f) + (f % 3 ? ".pdf" : ".tar.gz");
    // Every tenth-or-so file is split, spread evenly over the list.
    bool split = matrix > 0 && (static_cast<long>(f) * matrix) / files !=
                                   (static_cast<long>(f + 1) * matrix) / files;
    if (split) a_matrix_file = name;
    for (int p = 0; p < (split ? 4 : 1); ++p) {
      std::string fn = split ? name + ":" + std::to_string(p) : name;
      int basic_node = (f + p) % 4;
      node_lists[basic_node].push_back(line(fn, 0, basic_node, f));
      node_lists[(basic_node + 1) % 4].push_back(line(fn, 1, (basic_node + 1) % 4, f));
    }
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  lines = 0;
  for (const auto& node : node_lists)
    for (const std::string& l : node) {
      out << l << '\n';
      ++lines;
    }
  return a_matrix_file;
}

long count_lines(const std::string& path) {
  std::ifstream in(path);
  long n = 0;
  for (std::string l; std::getline(in, l);) ++n;
  return n;
}

// The machine is shared: each stage runs three times, the best and the
// worst time are told.
constexpr int runs = 3;

struct Seconds {
  double best = 1e9, worst = 0;
};

Seconds seconds_of(const std::function<void()>& work, const std::function<void()>& between) {
  Seconds s;
  for (int i = 0; i < runs; ++i) {
    if (i > 0) between();
    auto start = std::chrono::steady_clock::now();
    work();
    double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    s.best = std::min(s.best, t);
    s.worst = std::max(s.worst, t);
  }
  return s;
}

void report(const char* what, Seconds s, const std::string& result) {
  std::fprintf(stderr, "%-44s %6.3f s (worst %6.3f s)  %s\n", what, s.best, s.worst,
               result.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: lists_bench DIR SINGULAR MATRIX\n");
    return 2;
  }
  std::filesystem::current_path(argv[1]);
  const int singular = std::atoi(argv[2]), matrix = std::atoi(argv[3]);
  long lines = 0;
  std::string matrix_file = generate("list.q", singular, matrix, lines);
  std::fprintf(stderr, "list.q: %ld lines, %d files (%d whole, %d in 4 parts), both copies\n",
               lines, singular + matrix, singular, matrix);

  int result = 0;
  size_t printed = 0;
  morbs::ConsoleReporter reporter(true);
  auto remove_result = [] { std::filesystem::remove("tmp_list.q"); };
  // Every run prints the whole listing, the sorted lines passed in memory.
  Seconds t = seconds_of(
      [&] {
        morbs::Result<morbs::Lines> sorted = sorting_list(std::string("list.q"), reporter);
        result = sorted ? 0 : -1;
        if (sorted) {
          printed = sorted->size();
          result = morbs::view_of(*sorted, "tmp_list.q", {"ALL"}, "all_print", reporter) ? 0 : -1;
        }
        std::fflush(stdout);
      },
      remove_result);
  report("-ls path: sorting_list + view_of", t,
         "result " + std::to_string(result) + ", " + std::to_string(printed) + " files printed");

  struct View {
    const char* name;
    morbs::PreparedView view;
  } views[] = {{"prepare_list (listing all)", morbs::PreparedView::listing_all},
               {"prepare_list (read)", morbs::PreparedView::read},
               {"prepare_list (lock)", morbs::PreparedView::lock},
               {"prepare_list (unlock)", morbs::PreparedView::unlock}};
  for (const View& v : views) {
    t = seconds_of([&] { result = morbs::prepare_list("list.q", v.view, reporter) ? 1 : 0; }, remove_result);
    report(v.name, t,
           "result " + std::to_string(result) + ", " + std::to_string(count_lines("tmp_list.q")) +
               " view lines");
    std::filesystem::remove("tmp_list.q");
  }

  t = seconds_of([&] { result = morbs::get_q_string_for_read("list.q", matrix_file); },
                 remove_result);
  report("get_q_string_for_read (a file in 4 parts)", t,
         "result " + std::to_string(result) + ", " + std::to_string(count_lines("tmp_list.q")) +
             " lines");
  std::filesystem::remove("tmp_list.q");
  return 0;
}
