// Several chosen files handed to as few runs of one child as the system
// allows: "pushbox ID PATH NAME [PATH NAME]...", "pullbox -rd ID STORED OUT
// [STORED OUT]...". One run asks the nodes once for all its files.
#pragma once

#include <string>
#include <vector>

namespace morbs::deskbox {

struct ChildRuns {
  std::vector<std::string> head;                  // "pushbox", ID
  std::vector<std::vector<std::string>> files;    // each file's arguments, in the order chosen
  // When set, files whose argument at this index is the same never share a
  // run: two downloads to one output go one after the other, the later
  // chosen winning, as when each file had its own run.
  int distinct_argument = -1;
};

// The argument vectors to run, in order. Each holds the head and as many
// whole files as fit in `space` bytes, an argument costing its length, its
// end byte and its pointer, as the kernel counts them. A file that does not
// fit even alone still gets a run of its own (the start then fails and is
// reported). No files: no runs.
std::vector<std::vector<std::string>> plan_child_runs(const ChildRuns& runs, size_t space);

// The bytes an argument vector of a child may take here: the system's limit
// less this process's environment, which the child inherits, and a margin
// for the program's path and what a script interpreter adds.
size_t argument_space();

}  // namespace morbs::deskbox
