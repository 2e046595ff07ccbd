#include "peers/promptwin/dialog.h"

#include <string>
#include <vector>

#include "peers/promptwin/selection.h"
#include "platform/regular_file.h"

namespace morbs::promptwin {

namespace {

const char* verb(const std::string& list_kind) {
  if (list_kind == "READ") return "download";
  if (list_kind == "DELETE") return "delete";
  if (list_kind == "LOCK") return "lock";
  return "unlock";
}

void wait_for_enter(platform::Terminal& t) {
  t.write("  [Enter] ");
  t.read_line();
}

Answer info(platform::Terminal& t, const Call& call) {
  t.write("\n  " + info_shown(call.text) + "\n");
  wait_for_enter(t);
  return {};
}

Answer account(platform::Terminal& t, const Call& call) {
  t.write("\n");
  t.write("  Account id (11 characters; Enter alone quits): ");
  auto line = t.read_line();
  if (!line) return cancelled(call);
  return {line->empty() ? "null" : *line, std::nullopt};
}

Answer task(platform::Terminal& t, const Call& call) {
  std::string menu = "\n  Tasks:";
  for (size_t i = 0; i < task_names.size(); ++i) menu += "  " + std::to_string(i + 1) + " " + task_names[i];
  t.write(menu + "\n");
  for (;;) {
    t.write("  Task (number or name; Enter alone quits): ");
    auto line = t.read_line();
    if (!line) return cancelled(call);
    if (line->empty()) return {};
    for (size_t i = 0; i < task_names.size(); ++i)
      if (*line == task_names[i] || *line == std::to_string(i + 1)) return {task_names[i], std::nullopt};
    t.write("  No such task: " + *line + "\n");
  }
}

Answer open(platform::Terminal& t, const Call& call) {
  t.write("\n  Files to upload: one local path a line; an empty line ends.\n");
  std::vector<std::string> paths;
  for (;;) {
    t.write("  path: ");
    auto line = t.read_line();
    if (!line) return cancelled(call);
    if (line->empty()) break;
    if (!platform::is_regular_file(*line)) {
      t.write("  Not a file: " + *line + "\n");
      continue;
    }
    paths.push_back(*line);
  }
  Answer answer;
  if (!paths.empty()) answer.chosen = paths;
  return answer;
}

void show(platform::Terminal& t, const std::vector<std::string>& lines, bool numbered) {
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string number = numbered ? std::to_string(i + 1) : "";
    if (numbered && number.size() < 4) number.insert(0, 4 - number.size(), ' ');
    t.write("  " + number + (numbered ? "  " : "") + lines[i] + "\n");
  }
}

Answer list(platform::Terminal& t, const Call& call) {
  auto lines = read_lines(call.file);
  t.write(std::string("\n  Files to ") + verb(call.list_kind) + ":\n");
  if (!lines || lines->empty()) {
    t.write("  (none)\n");
    wait_for_enter(t);
    return {};
  }
  show(t, *lines, true);
  for (;;) {
    t.write("  Numbers of the files (e.g. 1 3, or ~TEXT for the lines holding TEXT; Enter alone for none): ");
    auto line = t.read_line();
    if (!line) return cancelled(call);
    std::string error;
    auto indices = choose(*lines, *line, error);
    if (!indices) {
      t.write("  " + error + "\n");
      continue;
    }
    Answer answer;
    if (!indices->empty()) {
      answer.chosen.emplace();
      for (size_t i : *indices) answer.chosen->push_back((*lines)[i]);
    }
    return answer;
  }
}

Answer listing(platform::Terminal& t, const Call& call) {
  auto lines = read_lines(call.file);
  t.write("\n  Files of the account:\n");
  if (!lines || lines->empty()) t.write("  (none)\n");
  else show(t, *lines, false);
  wait_for_enter(t);
  return {};
}

}  // namespace

Answer ask(platform::Terminal& terminal, const Call& call) {
  switch (call.kind) {
    case Kind::info: return info(terminal, call);
    case Kind::account: return account(terminal, call);
    case Kind::task: return task(terminal, call);
    case Kind::open: return open(terminal, call);
    case Kind::list: return list(terminal, call);
    case Kind::listing: return listing(terminal, call);
  }
  return cancelled(call);
}

}  // namespace morbs::promptwin
