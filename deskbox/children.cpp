#include "deskbox/children.h"

#include <cstdio>

#include "platform/process.h"

namespace morbs::deskbox {

std::string last_line(const std::string& output) {
  std::string_view text = output;
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  size_t start = text.rfind('\n');
  return std::string(start == std::string_view::npos ? text : text.substr(start + 1));
}

std::string show_task(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"promptwin"};
  argv.insert(argv.end(), args.begin(), args.end());
  std::fflush(stdout);
  platform::RunOptions options;
  options.capture_output = true;  // the answer; promptwin talks to the user on /dev/tty
  auto result = platform::run_process(argv, options);
  if (!result) throw DialogUnavailable();
  std::string answer = last_line(result->output);
  if (answer.size() > answer_limit) answer.resize(answer_limit);
  return answer;
}

void show_info(const std::string& text) { show_task({"--info", "'" + text + "'"}); }

void say_failed(const std::string& what) {
  std::fflush(stdout);
  std::fprintf(stderr, "deskbox: %s\n", what.c_str());
}

bool run_child(const std::vector<std::string>& argv) {
  // What deskbox printed comes before what the child prints.
  std::fflush(stdout);
  platform::RunOptions options;
  options.capture_output = false;
  if (platform::run_process(argv, options)) return true;
  std::fprintf(stderr, " cannot start %s\n", argv.empty() ? "" : argv[0].c_str());
  return false;
}

}  // namespace morbs::deskbox
