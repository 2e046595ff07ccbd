#include "peers/promptwin/script.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "peers/promptwin/selection.h"

namespace morbs::promptwin {

namespace {

const char* kind_word(Kind kind) {
  switch (kind) {
    case Kind::account: return "account";
    case Kind::task: return "task";
    case Kind::open: return "open";
    case Kind::list: return "list";
    default: return "";
  }
}

struct Entry {
  std::string kind, answer;
};

std::vector<Entry> entries(const std::string& path) {
  std::vector<Entry> out;
  for (const std::string& line : read_lines(path).value_or(std::vector<std::string>{})) {
    if (line.empty() || line[0] == '#') continue;
    size_t blank = line.find(' ');
    if (blank == std::string::npos) out.push_back({line, ""});
    else out.push_back({line.substr(0, blank), line.substr(blank + 1)});
  }
  return out;
}

std::vector<std::string> split_tabs(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, '\t');)
    if (!part.empty()) out.push_back(part);
  return out;
}

void complain(const std::string& text) { std::fprintf(stderr, "promptwin: %s\n", text.c_str()); }

}  // namespace

Script::Script(std::string path, std::string record_path)
    : path_(std::move(path)), record_path_(std::move(record_path)) {}

Answer Script::answer(const Call& call, const std::vector<std::string>& args) {
  std::vector<std::string> shown;
  if (call.kind == Kind::list || call.kind == Kind::listing)
    shown = read_lines(call.file).value_or(std::vector<std::string>{});
  record(args, shown);
  if (call.kind == Kind::info || call.kind == Kind::listing) return {};

  const std::vector<Entry> all = entries(path_);
  const size_t at = position();
  if (at >= all.size()) {
    complain(std::string("the script has no answer left for --") + kind_word(call.kind));
    return cancelled(call);
  }
  const Entry& entry = all[at];
  if (entry.kind != kind_word(call.kind)) {
    complain("the script answers \"" + entry.kind + "\" next, not --" + kind_word(call.kind));
    return cancelled(call);
  }
  advance(at + 1);

  Answer answer;
  if (call.kind == Kind::account || call.kind == Kind::task) {
    answer.line = entry.answer;
  } else if (call.kind == Kind::open) {
    std::vector<std::string> paths = split_tabs(entry.answer);
    if (!paths.empty()) answer.chosen = paths;
  } else {
    std::string error;
    auto indices = choose(shown, entry.answer, error);
    if (!indices) {
      complain(error);
      return cancelled(call);
    }
    if (!indices->empty()) {
      answer.chosen.emplace();
      for (size_t i : *indices) answer.chosen->push_back(shown[i]);
    }
  }
  return answer;
}

void Script::record(const std::vector<std::string>& args, const std::vector<std::string>& shown) {
  std::ofstream out(record_path_, std::ios::app | std::ios::binary);
  out << record_line(args) << '\n';
  for (const std::string& line : shown) out << "  > " << line << '\n';
}

size_t Script::position() const {
  std::ifstream in(path_ + ".pos");
  size_t at = 0;
  if (!(in >> at)) at = 0;
  return at;
}

void Script::advance(size_t to) const { std::ofstream(path_ + ".pos", std::ios::trunc) << to << '\n'; }

}  // namespace morbs::promptwin
