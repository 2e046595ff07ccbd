#include "pullbox/check.h"

#include "core/report/reporter.h"
#include "transfer/account_lists.h"

namespace morbs::pullbox {

namespace {

std::string node_name(int node) { return "node " + std::to_string(node + 1); }

std::string copy_words(const Piece& piece, const CopyOf& copy, const std::vector<int>& silent) {
  std::string words = piece.part >= 0 ? "part " + std::to_string(piece.part + 1) + " " : "";
  words += std::string(copy_text(copy.copy)) + " copy";
  if (copy.node >= 0) words += ", " + node_name(copy.node);
  words += ": " + fault_text(copy);
  if (copy.fault == CopyFault::not_listed && !silent.empty()) {
    std::string nodes;
    for (int n : silent) nodes += (nodes.empty() ? "" : ", ") + node_name(n);
    words += " (" + nodes + " did not answer)";
  }
  return words;
}

}  // namespace

std::string file_line(const StoredFile& file, const std::vector<int>& silent) {
  std::string line = file.name + ":";
  std::string sep = " ";
  for (const Piece& piece : file.pieces)
    for (const CopyOf& copy : piece.copies) {
      if (copy.good()) continue;
      line += sep + copy_words(piece, copy, silent);
      sep = "; ";
    }
  return line;
}

Status check_command(Run& run, RunEnv& env, const std::string& id, bool deep) {
  Reporter& reporter = env.reporter;
  if (check_account_id(run.settings, id) == 0) return Status::failure("incorrect account id");
  Result<AccountLists> lists = fetch_account_lists(run.nconf, id, run.settings, env);
  if (!lists) return lists.status();
  Survey survey{files_of(lists->lines, run.settings), lists->silent, {}};
  ask_nodes(survey, run.nconf, run.settings, env.exchange);
  if (deep) read_every_copy(survey, run.nconf, id, run.settings, env);

  int redundant = 0, one_copy = 0, lost = 0;
  for (const StoredFile& file : survey.files) {
    const StoredFile::Verdict verdict = file.verdict();
    if (verdict == StoredFile::Verdict::redundant) {
      ++redundant;
      continue;
    }
    ++(verdict == StoredFile::Verdict::lost ? lost : one_copy);
    reporter.say_line(file_line(file, survey.silent));
  }
  for (int node : survey.silent) reporter.say_line(node_name(node) + " did not answer");
  if (lists->unfetched > 0)
    reporter.say_line(std::to_string(lists->unfetched) + " list(s) could not be fetched: the check is incomplete");
  for (int node : survey.no_digests)
    reporter.say_line("digests were not available from " + node_name(node) +
                      ": its copies were compared by size only");
  reporter.say(format_text("files fully redundant: %d, with one copy of some piece: %d, lost: %d\n", redundant,
                           one_copy, lost));
  if (one_copy + lost > 0 || lists->unfetched > 0) return Status::failure("the account is not fully redundant");
  return Status::success();
}

}  // namespace morbs::pullbox
