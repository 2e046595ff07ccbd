#include "transfer/account_lists.h"

#include "core/wire/number_text.h"
#include "transfer/list_texts.h"
#include "transfer/read_planning.h"

namespace morbs {

Result<AccountLists> fetch_account_lists(NodeTable& nconf, std::string_view id, const Settings& settings,
                                         RunEnv& env) {
  Result<std::vector<Transfer>> lists =
      init_list_files_read(nconf, id, settings.ip_addr, settings.init_port, env.exchange, env.reporter);
  if (!lists) return lists.status();
  AccountLists account;
  for (int i = 0; i < settings.curr_nr_serv && i < node_count; ++i)
    if (nconf[i].port <= 0) account.silent.push_back(i);
  Result<std::vector<ListText>> texts = fetch_list_texts(*lists, settings, env);
  if (!texts) return texts.status();
  for (const ListText& got : *texts) {
    const std::optional<std::string>& text = got.text;
    if (!text) {
      ++account.unfetched;
      continue;
    }
    size_t start = 0;
    while (start < text->size()) {
      size_t end = text->find('\n', start);
      if (end == std::string::npos) end = text->size();
      std::string line = text->substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) account.lines.push_back(std::move(line));
      start = end + 1;
    }
  }
  return account;
}

int node_of_port(const Settings& settings, std::string_view port_text) {
  const int64_t port = to_int(port_text);
  const int64_t used = port >= settings.init_port && port < settings.init_port + node_count
                           ? port
                           : port - settings.init_port_p + settings.init_port;
  const int64_t node = used - settings.init_port;
  return node >= 0 && node < node_count ? static_cast<int>(node) : -1;
}

}  // namespace morbs
