#include "pushbox/repair.h"

#include <cerrno>

#include <set>

#include "core/nodes/node_selection.h"
#include "core/wire/number_text.h"
#include "core/wire/query_string.h"
#include "platform/process.h"
#include "platform/regular_file.h"
#include "pushbox/upload.h"
#include "transfer/account_lists.h"
#include "transfer/account_survey.h"
#include "transfer/copy_check.h"
#include "transfer/disaster_journal.h"
#include "transfer/engine.h"
#include "transfer/registration_lines.h"
#include "transfer/sftp_place.h"

namespace morbs::pushbox {

namespace {

using morbs::Status;

std::string node_name(int node) { return "node " + std::to_string(node + 1); }

std::string copy_of_piece(const Piece& piece, const CopyOf& copy) {
  return piece.name + " " + std::string(copy_text(copy.copy)) + " copy";
}

// What one repair run shares between its pieces.
struct Repair {
  const std::string& id;
  const Settings& settings;
  const std::string& uid32;
  RunEnv& env;
  NodeTable read_nodes;   // logins of the nodes the copies come from
  NodeTable write_nodes;  // room and logins of the nodes new copies go to
  // stored name -> nodes with any record of it: a new copy never goes there.
  std::map<std::string, std::set<int>> listed_on;
  UploadChecks checks;  // each piece's bytes under a name of their own: it keeps digests by name
  int pieces_fetched = 0;
  ListedDigestNotice digest_notice{"pushbox"};
};

// The good copy's bytes into `local`, checked against its node's digest.
Status fetch_good_copy(Repair& r, const CopyOf& good, const std::string& local) {
  const node_conf& node = r.read_nodes[static_cast<size_t>(good.node)];
  Result<Transfer> t = sftp_transfer(node, to_int(node.sn), r.settings.ip_addr, r.id, good.where->area,
                                     good.where->name, r.env.reporter);
  if (!t) return Status::failure("the good copy's node gave no login");
  std::vector<TransferJob> jobs(1);
  jobs[0].transfer = std::move(*t);
  jobs[0].transfer.direction = Direction::download;
  jobs[0].transfer.local = local;
  jobs[0].transfer.progress = false;
  jobs[0].transfer.label = "good copy";
  jobs[0].verify = [&good](TransferJob& job) -> Status {
    if (job.passed_bytes != good.state.size || (good.state.sha256 && *good.state.sha256 != job.passed_sha256))
      return Status::failure("the good copy did not arrive as its node recorded it");
    return Status::success();
  };
  if (!run_transfers(jobs, {1, true, {}, r.settings.stall_seconds, 250, r.env.progress}, r.env.reporter, r.env.transfers))
    return Status::failure("the good copy could not be downloaded");
  return Status::success();
}

// How many pieces of the file `file` node `node` holds a record of.
int pieces_on(const Repair& r, const std::string& file, int node) {
  int count = 0;
  for (auto it = r.listed_on.lower_bound(file); it != r.listed_on.end() && it->first.rfind(file, 0) == 0; ++it)
    count += it->second.count(node) ? 1 : 0;
  return count;
}

// Among the nodes that hold no record of the piece and have room for
// `size` bytes, the one holding the fewest pieces of its file (so that no
// one node's loss costs a file more than it must), then the most room; -1
// when none has room.
int target_node(const Repair& r, const std::string& file, const Piece& piece, int64_t size, Area& area) {
  int best = -1, best_load = 0;
  int64_t best_room = -1;
  const auto& listed = r.listed_on.count(piece.name) ? r.listed_on.at(piece.name) : std::set<int>{};
  for (int i = 0; i < r.settings.curr_nr_serv && i < node_count; ++i) {
    const node_conf& node = r.write_nodes[static_cast<size_t>(i)];
    if (node.port <= 0 || listed.count(i)) continue;
    const int load = pieces_on(r, file, i);
    for (Area a : {Area::accounts, Area::accounts1}) {
      const int64_t room = a == Area::accounts ? node.space : node.space1;
      if (room < size) continue;
      if (best < 0 || load < best_load || (load == best_load && room > best_room)) {
        best = i;
        best_load = load;
        best_room = room;
        area = a;
      }
    }
  }
  return best;
}

// Reserves, sends, checks and registers the new copy on `node`; the
// journal names the reservation until it is registered.
Status store_copy(Repair& r, const Piece& piece, Copy copy, int node, Area area, int64_t size,
                  const std::string& local) {
  node_conf& target = r.write_nodes[static_cast<size_t>(node)];
  const std::string address = r.settings.ip_addr;
  std::optional<std::string> list = list_files_line(r.id, piece.name, r.uid32, copy, target.port, area);
  std::optional<std::string> archive = list_archive_line(r.id, piece.name, copy, target.port, area);
  Result<Transfer> t = sftp_transfer(target, to_int(target.sn), address, r.id, area, piece.name, r.env.reporter);
  if (!list || !archive || !t) return Status::failure("no transfer can be made to " + node_name(node));

  DisasterJournal journal("repair-" + r.id + std::string(disaster_marker));
  journal.start_fresh(r.env.exchange, r.env.reporter);
  std::string request = "OP=resv&ID=" + r.id + "&DISK=" + std::string(area_text(area)) + "&FN=" + piece.name +
                        "&FSZ=" + std::to_string(size) + "&";
  if (!journal.record(request + "IPADDR=" + address + "&PORT=" + std::to_string(target.port) + "&")) {
    const int error = errno;
    return Status::failure("cannot write the disaster file " + journal.path() + ": " + platform::cause_of(error));
  }
  auto undo = [&](const std::string& why) {
    (void)journal.release(r.env.exchange, r.env.reporter);
    return Status::failure(why);
  };
  if (!r.env.exchange.ask(address, target.port, request)) return undo(node_name(node) + " does not answer");
  std::string status;
  select_value(request, "STATUS", status);
  if (status != "done") return undo(node_name(node) + " refused the reservation");
  (area == Area::accounts ? target.space : target.space1) -= size;

  std::vector<TransferJob> jobs(1);
  jobs[0].transfer = std::move(*t);
  jobs[0].transfer.direction = Direction::upload;
  jobs[0].transfer.copy = copy;
  jobs[0].transfer.local = local;
  jobs[0].transfer.progress = false;
  jobs[0].transfer.label = "new " + std::string(copy_text(copy)) + " copy";
  jobs[0].verify = r.checks.hook(*list);
  if (!run_transfers(jobs, {1, true, {}, r.settings.stall_seconds, 250, r.env.progress}, r.env.reporter, r.env.transfers))
    return undo("the new copy could not be stored");
  // The new copy's lines carry the digest of what was sent, which the
  // check on its node has just passed.
  for (const std::string& line : {*list, *archive})
    if (Status s = register_line_with_digest(r.env.exchange, address, line, jobs[0].passed_sha256, r.env.reporter,
                                             r.digest_notice);
        !s)
      return undo("the new copy could not be registered");
  journal.remove();
  return Status::success();
}

// A bad copy's record is marked deleted, so that nothing takes it again.
void forget_bad_copy(Repair& r, const CopyOf& bad) {
  if (bad.line.empty() || !bad.where || bad.node < 0) return;
  const int port = r.read_nodes[static_cast<size_t>(bad.node)].port;
  if (port <= 0) return;
  std::string request = "OP=listfiles&SUB=chg&DISK=" + std::string(area_text(bad.where->area)) +
                        "&FN=" + bad.where->name + "&ID=" + bad.where->id + "&CURRNEW=delete&";
  if (!r.env.exchange.ask(r.settings.ip_addr, port, request))
    r.env.reporter.warn_line("pushbox: " + node_name(bad.node) + " did not answer: the bad copy's record stays");
}

bool replaceable(const CopyOf& copy) {
  switch (copy.fault) {
    case CopyFault::not_listed:
    case CopyFault::record_deleted:
    case CopyFault::missing:
    case CopyFault::rotten: return true;
    default: return false;  // a silent node or a failed download may come back
  }
}

Status restore(Repair& r, const StoredFile& file, const Piece& piece, const CopyOf& good, const CopyOf& bad) {
  Area area = Area::accounts;
  const int node = target_node(r, file.name, piece, good.state.size, area);
  if (node < 0) return Status::failure("no node with space");
  const std::string local = repair_scratch_name(r.pieces_fetched++);
  Status stored = fetch_good_copy(r, good, local);
  if (stored) stored = store_copy(r, piece, bad.copy, node, area, good.state.size, local);
  platform::remove_file(local);
  if (!stored) return stored;
  r.listed_on[piece.name].insert(node);
  if (bad.fault == CopyFault::rotten || bad.fault == CopyFault::missing) forget_bad_copy(r, bad);
  r.env.reporter.say_line("restored: " + copy_of_piece(piece, bad) + " on " + node_name(node));
  return Status::success();
}

}  // namespace

std::string repair_scratch_name(int piece) {
  return std::string(part_file_stem) + "_repair" + std::to_string(piece) + "." +
         std::to_string(platform::own_process_id());
}

Status repair_account(const std::string& id, const Settings& settings, const std::string& uid32, RunEnv& env) {
  Repair r{id, settings, uid32, env, {}, {}, {}, UploadChecks(env.exchange, settings.ip_addr, env.reporter), 0};
  Result<AccountLists> lists = fetch_account_lists(r.read_nodes, id, settings, env);
  if (!lists) return lists.status();
  Survey survey{files_of(lists->lines, settings), lists->silent, {}};
  ask_nodes(survey, r.read_nodes, settings, env.exchange);
  read_every_copy(survey, r.read_nodes, id, settings, env);
  for (const std::string& line : lists->lines) {
    std::string fn, port;
    select_value(line, "FN", fn);
    select_value(line, "PORT", port);
    if (const int node = node_of_port(settings, port); node >= 0) r.listed_on[fn].insert(node);
  }
  test_nodes_for_write(r.write_nodes, settings.ip_addr, settings.init_port, env.exchange);

  int restored = 0, left = 0;
  for (const StoredFile& file : survey.files)
    for (const Piece& piece : file.pieces) {
      if (piece.good_copies() == 2) continue;
      const CopyOf* good = piece.copies[0].good() ? &piece.copies[0] : piece.copies[1].good() ? &piece.copies[1] : nullptr;
      const CopyOf& bad = copy_to_restore(piece);
      Status s = !good                ? Status::failure(no_good_copy_text(piece, bad))
                 : !replaceable(bad) ? Status::failure(fault_text(bad) + ", so it is left as it is")
                                     : restore(r, file, piece, *good, bad);
      if (s) {
        ++restored;
        continue;
      }
      ++left;
      env.reporter.say_line("not restored: " + copy_of_piece(piece, bad) + ": " + s.why());
    }
  env.reporter.say(format_text("copies restored: %d, not restored: %d\n", restored, left));
  if (left > 0 || lists->unfetched > 0 || !lists->silent.empty())
    return Status::failure(left > 0 ? "some copies could not be restored" : "not every node's list came");
  return Status::success();
}

}  // namespace morbs::pushbox
