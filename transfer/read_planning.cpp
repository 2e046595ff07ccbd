#include "transfer/read_planning.h"

#include <optional>
#include <string>

#include "core/nodes/node_queries.h"
#include "core/nodes/node_selection.h"
#include "core/session/account.h"
#include "core/wire/number_text.h"
#include "core/wire/query_string.h"
#include "core/wire/wire.h"
#include "transfer/sftp_place.h"

namespace morbs {

namespace {

Status id_has_length(std::string_view id, Reporter& reporter) {
  if (id.size() == account_id_length) return Status::success();
  reporter.detail_line("Error: id must have 11 chars");
  return Status::failure("incorrect id, wrong length");
}

bool is_port(int port) { return port >= 1 && port <= 65535; }

std::optional<std::string> digest_of(const std::string& reply) {
  std::string text;
  select_value(reply, "SHA256", text);
  if (text.size() != 64 || text.find_first_not_of("0123456789abcdef") != std::string::npos) return std::nullopt;
  return text;
}

}  // namespace

Result<std::vector<Transfer>> init_list_files_read(NodeTable& nconf, std::string_view id, std::string_view address,
                                                   int base_port, NodeExchange& exchange, Reporter& reporter) {
  if (Status s = id_has_length(id, reporter); !s) return s;
  test_nodes_for_read(nconf, address, base_port, id, exchange);
  bool any_node = false;
  for (const node_conf& node : nconf) any_node = any_node || node.port > 0;
  if (!any_node) return Status::failure("no id-account in the data-network");
  std::vector<Transfer> lists;
  auto add = [&](int i, Area area, Copy copy) {
    Result<Transfer> t = sftp_transfer(nconf[i], to_int(nconf[i].sn), address, id, area, "files_list.q", reporter);
    if (!t) return;
    t->direction = Direction::download;
    t->copy = copy;
    t->progress = false;
    t->label = "list of node " + std::to_string(i + 1) + " (" + std::string(copy_text(copy)) + ")";
    lists.push_back(std::move(*t));
  };
  for (int i = 0; i < node_count; ++i) {
    if (nconf[i].port <= 0) continue;
    if (nconf[i].accounts == "accounts") add(i, Area::accounts, Copy::basic);
    if (nconf[i].accounts1 == "accounts1") add(i, Area::accounts1, Copy::second);
  }
  return lists;
}

Result<PieceSource> file_read(NodeTable& nconf, std::string_view id, std::string_view address, int port,
                              std::string_view area_name, Copy copy, std::string_view stored_name,
                              NodeExchange& exchange, Reporter& reporter) {
  if (Status s = id_has_length(id, reporter); !s) return s;
  init_struct_nconf(nconf, node_count);
  // A port from a list line that no node can have is no node.
  if (is_port(port)) test_one_node(nconf, address, port, exchange);
  if (nconf[0].port < 1) return Status::failure("no node");
  // Nothing could be fetched from an area that does not exist; asking the
  // node about it would only send the list line's text on.
  if (!area_of(area_name)) return Status::failure("incorrect transfer entry");
  get_one_passwd(nconf, address, port, exchange);
  return file_read_on(nconf[0], id, address, area_name, copy, stored_name, exchange, reporter);
}

Result<PieceSource> file_read_on(const node_conf& node, std::string_view id, std::string_view address,
                                 std::string_view area_name, Copy copy, std::string_view stored_name,
                                 NodeExchange& exchange, Reporter& reporter) {
  if (Status s = id_has_length(id, reporter); !s) return s;
  if (node.port < 1) return Status::failure("no node");
  const std::optional<Area> area = area_of(area_name);
  if (!area) return Status::failure("incorrect transfer entry");
  std::string request = "OP=chkfile&ID=" + std::string(id) + "&DISK=" + std::string(area_name) +
                        "&PFN=" + std::string(stored_name) + "&";
  // A longer request would reach the node cut, asking about another name.
  if (request.size() >= wire::message_plain_size) return Status::failure("incorrect transfer entry");
  if (!exchange.ask(address, node.port, request))
    return Status::failure("no connection to the id-account");
  std::string status;
  select_value(request, "STATUS", status);
  if (status != "done") {
    std::string cp;
    select_value(request, "CP", cp);
    reporter.detail(format_text("Error: read-file %s\n", cp.c_str()));
    return Status::failure("no file in the id-account");
  }
  std::string fsize_text;
  select_value(request, "FSIZE", fsize_text);
  // An absent or non-numeric size reads as 0; the part that arrives must
  // then be empty, so nothing unchecked ever reaches the user's file.
  const std::optional<int64_t> fsize = to_int64(fsize_text);
  if (!fsize || *fsize < 0) return Status::failure("file size is incorrect");
  Result<Transfer> t = sftp_transfer(node, to_int(node.sn), address, id, *area, stored_name, reporter);
  if (!t) return Status::failure("incorrect transfer entry");
  t->direction = Direction::download;
  t->copy = copy;
  return PieceSource{std::move(*t), *fsize, digest_of(request)};
}

}  // namespace morbs
