// promptwin: the dialogs of deskbox on the terminal. Its standard output is a
// pipe to deskbox, so it talks to the user on /dev/tty and prints only the
// answer; chosen paths or list lines go to the file "tmp".
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "core/version.h"
#include "peers/promptwin/call.h"
#include "peers/promptwin/dialog.h"
#include "peers/promptwin/script.h"
#include "platform/terminal.h"

namespace {

const char* const selection_file = "tmp";

bool write_selection(const std::vector<std::string>& lines) {
  std::ofstream out(selection_file, std::ios::trunc | std::ios::binary);
  for (const std::string& line : lines) out << line << '\n';
  out.close();
  if (out) return true;
  std::remove(selection_file);  // half a selection would be taken for a whole one
  return false;
}

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

int main(int argc, char** argv) {
  if (morbs::asks_for_version(argc, argv)) {
    std::fputs(morbs::version_text("promptwin").c_str(), stdout);
    return 0;
  }
  using namespace morbs::promptwin;
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && args[0] == "--help") {
    std::fputs(usage_text, stdout);
    return 0;
  }
  auto call = parse_call(args);
  if (!call) {
    std::fputs(usage_text, stderr);
    return 2;
  }

  int exit_code = 0;
  Answer answer;
  morbs::platform::Terminal terminal;
  if (const std::string script = environment("PROMPTWIN_SCRIPT"); !script.empty()) {
    std::string record = environment("PROMPTWIN_RECORD");
    answer = Script(script, record.empty() ? script + ".calls" : record).answer(*call, args);
  } else if (terminal.open()) {
    answer = ask(terminal, *call);
  } else {
    std::fputs("promptwin: no terminal (/dev/tty) and no script of answers: the dialog is cancelled\n", stderr);
    answer = cancelled(*call);
    exit_code = 1;
  }

  if (answer.chosen && !write_selection(*answer.chosen)) {
    std::fprintf(stderr, "promptwin: can't write the file %s\n", selection_file);
    exit_code = 1;
  }
  if (call->kind == Kind::account || call->kind == Kind::task) std::printf("%s\n", answer.line.c_str());
  return exit_code;
}
