#include "pullbox/get_list.h"
#include "platform/regular_file.h"

#include <cerrno>

#include <cstdio>
#include <vector>

#include "lists/scratch_files.h"
#include "transfer/list_texts.h"
#include "transfer/read_planning.h"

namespace morbs::pullbox {

namespace {

// The texts of the lists that came, in their order; each list that could
// not be fetched is said and left out, the others still come.
struct Fetched {
  std::vector<std::string> texts;
  int missing = 0;
};

Result<Fetched> fetch_lists(const std::vector<Transfer>& lists, const Settings& settings, RunEnv& env) {
  Result<std::vector<ListText>> texts = fetch_list_texts(lists, settings, env);
  if (!texts) return texts.status();
  Fetched fetched;
  for (size_t n = 0; n < texts->size(); ++n) {
    std::optional<std::string>& text = (*texts)[n].text;
    if (!text) {
      env.reporter.warn_line("pullbox: the " + lists[n].label + " could not be fetched: " + (*texts)[n].failure);
      ++fetched.missing;
      continue;
    }
    fetched.texts.push_back(std::move(*text));
  }
  return fetched;
}

void tell_silent_nodes(const NodeTable& nconf, const Settings& settings, Reporter& reporter) {
  for (int i = 0; i < settings.curr_nr_serv && i < node_count; ++i)
    if (nconf[i].port <= 0) reporter.warn_line("pullbox: node " + std::to_string(i + 1) + " did not answer");
}

}  // namespace

Status get_list(NodeTable& nconf, std::string_view id, const Settings& settings, RunEnv& env) {
  Reporter& reporter = env.reporter;
  Result<std::vector<Transfer>> lists =
      init_list_files_read(nconf, id, settings.ip_addr, settings.init_port, env.exchange, reporter);
  if (!lists) return lists.status();
  tell_silent_nodes(nconf, settings, reporter);
  Result<Fetched> fetched = fetch_lists(*lists, settings, env);
  if (!fetched) return fetched.status();
  if (lists->empty()) {
    reporter.say_line("Error: no files_list");
    return Status::failure("no files_list");
  }
  std::FILE* out = std::fopen(list_name, "ab");
  bool written = out != nullptr;
  for (size_t n = 0; n < fetched->texts.size() && written; ++n) {
    std::string& text = fetched->texts[n];
    if (!text.empty() && text.back() != '\n') text += '\n';
    written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  }
  if (out) written = std::fclose(out) == 0 && written;
  if (!written) {
    const int error = errno;
    reporter.detail_line("Error: can't open list.q for write");
    return Status::failure(std::string("cannot write ") + list_name + ": " + platform::cause_of(error));
  }
  if (fetched->missing > 0)
    return Status::failure(std::to_string(fetched->missing) + " of " + std::to_string(lists->size()) +
                           " lists could not be fetched; list.q holds the others");
  return Status::success();
}

}  // namespace morbs::pullbox
