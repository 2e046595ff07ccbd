#include "peers/promptwin/call.h"

namespace morbs::promptwin {

namespace {

bool one_of(const std::string& value, std::initializer_list<const char*> names) {
  for (const char* n : names)
    if (value == n) return true;
  return false;
}

}  // namespace

std::optional<Call> parse_call(const std::vector<std::string>& args) {
  if (args.empty()) return std::nullopt;
  const std::string& option = args[0];
  Call call;
  if (option == "--info" && args.size() == 2) {
    call.kind = Kind::info;
    call.text = args[1];
  } else if (option == "--account" && args.size() == 1) {
    call.kind = Kind::account;
  } else if (option == "--task" && args.size() == 1) {
    call.kind = Kind::task;
  } else if (option == "--open" && args.size() == 1) {
    call.kind = Kind::open;
  } else if (option == "--list" && args.size() == 3 && one_of(args[1], {"READ", "DELETE", "LOCK", "UNLOCK"})) {
    call.kind = Kind::list;
    call.list_kind = args[1];
    call.file = args[2];
  } else if (option == "--listing" && args.size() == 3 && args[1] == "LIST") {
    call.kind = Kind::listing;
    call.list_kind = args[1];
    call.file = args[2];
  } else {
    return std::nullopt;
  }
  return call;
}

std::string record_line(const std::vector<std::string>& args) {
  std::string line;
  for (size_t i = 0; i < args.size(); ++i) line += (i ? "\t" : "") + args[i];
  return line;
}

Answer cancelled(const Call& call) {
  Answer answer;
  if (call.kind == Kind::account) answer.line = "null";
  return answer;
}

std::string info_shown(const std::string& text) {
  if (text.size() >= 2 && text.front() == '\'' && text.back() == '\'') return text.substr(1, text.size() - 2);
  return text;
}

const char* const usage_text =
    "usage: promptwin --info TEXT | --account | --task | --open\n"
    "                 | --list READ|DELETE|LOCK|UNLOCK FILE | --listing LIST FILE\n"
    "       promptwin --help | --version\n"
    "  The dialogs of deskbox on the terminal (/dev/tty). The answer is the last line\n"
    "  of standard output; --open and --list write the chosen paths or lines to the\n"
    "  file \"tmp\" and write no file when nothing is chosen.\n"
    "  With PROMPTWIN_SCRIPT=FILE the answers come from FILE instead, one a line:\n"
    "    account ID | task NAME | open PATH<TAB>PATH... | list N N ~TEXT ...\n"
    "  (a word alone answers with nothing), and every call is appended to\n"
    "  PROMPTWIN_RECORD (default FILE.calls).\n"
    "  Exit status: 0 answered; 1 no terminal and no script (the dialog cancelled),\n"
    "  or the file \"tmp\" not written; 2 a call it does not take.\n"
    "  See promptwin(1) and deskbox(1).\n";

}  // namespace morbs::promptwin
