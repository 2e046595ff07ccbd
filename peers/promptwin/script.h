// Answers from a script instead of the user, for tests and the demo. deskbox
// starts promptwin anew for every call, so the script keeps its place in a
// file beside it (FILE.pos), and every call is appended to the record.
//
// Script: one answer a line, "KIND ANSWER" with KIND account, task, open or
// list; empty lines and lines starting with "#" are skipped. Info and listing
// calls take no answer. The record holds one line per call (its arguments
// joined by tabs), followed by the lines it showed, each after "  > ".
#pragma once

#include <string>
#include <vector>

#include "peers/promptwin/call.h"

namespace morbs::promptwin {

class Script {
 public:
  Script(std::string path, std::string record_path);

  // Records the call and answers it. A call the script does not expect next,
  // or one after the last answer, is told on standard error and cancelled
  // (the script keeps its place).
  Answer answer(const Call& call, const std::vector<std::string>& args);

 private:
  void record(const std::vector<std::string>& args, const std::vector<std::string>& shown);
  size_t position() const;
  void advance(size_t to) const;

  std::string path_, record_path_;
};

}  // namespace morbs::promptwin
