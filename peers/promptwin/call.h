// One call of promptwin, as deskbox makes it: what it asks and what it shows.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace morbs::promptwin {

enum class Kind { info, account, task, open, list, listing };

struct Call {
  Kind kind = Kind::info;
  std::string text;       // --info: the text, its single quotes included
  std::string list_kind;  // --list READ|DELETE|LOCK|UNLOCK, --listing LIST
  std::string file;       // --list, --listing: the lines to show
};

// nullopt for a command line that is none of the calls.
std::optional<Call> parse_call(const std::vector<std::string>& args);

// The tasks --task offers, in the order shown; the answer is the name.
inline const std::vector<std::string> task_names = {"write", "listing", "read", "delete", "lock", "unlock"};

// How a call is recorded: its arguments joined by tabs.
std::string record_line(const std::vector<std::string>& args);

// What the user chose.
struct Answer {
  std::string line;                                 // printed as the last line of output
  std::optional<std::vector<std::string>> chosen;   // lines of "tmp"; nullopt: no file
};

// The answer of a dialog the user closed: "null" to the account question, no
// task, nothing chosen.
Answer cancelled(const Call& call);

// The text of an info call as the user reads it: without its single quotes.
std::string info_shown(const std::string& text);

extern const char* const usage_text;

}  // namespace morbs::promptwin
