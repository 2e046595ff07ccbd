#include "deskbox/child_runs.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

extern char** environ;

namespace morbs::deskbox {

namespace {

size_t argument_cost(const std::string& argument) { return argument.size() + 1 + sizeof(char*); }

size_t arguments_cost(const std::vector<std::string>& arguments) {
  size_t cost = 0;
  for (const std::string& argument : arguments) cost += argument_cost(argument);
  return cost;
}

bool repeats(const std::vector<std::vector<std::string>>& in_run, const std::vector<std::string>& file, int index) {
  if (index < 0 || static_cast<size_t>(index) >= file.size()) return false;
  return std::any_of(in_run.begin(), in_run.end(), [&](const std::vector<std::string>& other) {
    return static_cast<size_t>(index) < other.size() && other[index] == file[index];
  });
}

}  // namespace

std::vector<std::vector<std::string>> plan_child_runs(const ChildRuns& runs, size_t space) {
  std::vector<std::vector<std::string>> planned;
  // The final null pointer of argv counts as well.
  const size_t head_cost = arguments_cost(runs.head) + sizeof(char*);
  std::vector<std::vector<std::string>> in_run;
  size_t cost = head_cost;
  auto close_run = [&] {
    if (in_run.empty()) return;
    std::vector<std::string> argv = runs.head;
    for (const auto& file : in_run) argv.insert(argv.end(), file.begin(), file.end());
    planned.push_back(std::move(argv));
    in_run.clear();
    cost = head_cost;
  };
  for (const auto& file : runs.files) {
    const size_t file_cost = arguments_cost(file);
    if (cost + file_cost > space || repeats(in_run, file, runs.distinct_argument)) close_run();
    in_run.push_back(file);
    cost += file_cost;
  }
  close_run();
  return planned;
}

size_t argument_space() {
  // The smallest limit Linux ever had; also what is used when the system does not say.
  constexpr size_t smallest_limit = 131072;
  constexpr size_t margin = 8192;
  const long limit = sysconf(_SC_ARG_MAX);
  size_t space = limit > 0 ? static_cast<size_t>(limit) : smallest_limit;
  size_t environment = sizeof(char*);
  for (char** variable = environ; variable && *variable; ++variable)
    environment += std::strlen(*variable) + 1 + sizeof(char*);
  const size_t taken = environment + margin;
  // With no room left, every file goes in a run of its own.
  return space > taken ? space - taken : 0;
}

}  // namespace morbs::deskbox
