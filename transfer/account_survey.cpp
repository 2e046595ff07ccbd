#include "transfer/account_survey.h"

#include <algorithm>
#include <map>
#include <set>

#include "core/wire/number_text.h"
#include "core/wire/query_string.h"
#include "lists/listed_digest.h"
#include "lists/stored_name.h"
#include "platform/file_region.h"
#include "transfer/account_lists.h"
#include "transfer/engine.h"
#include "transfer/sftp_place.h"

namespace morbs {

namespace {

std::string value_of(const std::string& line, std::string_view key) {
  std::string v;
  select_value(line, key, v);
  return v;
}

bool is_held_record(const std::string& curr) { return curr != "delete" && curr != "archiv"; }

// The part number of a part's name; nothing when it is no number we can use.
std::optional<int> part_number(std::string_view name) {
  const std::string_view postfix = postfix_of(name);
  if (postfix.empty() || postfix.size() > 3 || postfix.find_first_not_of("0123456789") != std::string_view::npos)
    return std::nullopt;
  return static_cast<int>(to_int(postfix));
}

// A digest recorded at upload for the piece's bytes, by either copy's node.
std::optional<std::string> recorded_digest(const Piece& piece) {
  for (const CopyOf& copy : piece.copies)
    if (copy.state.held && copy.state.sha256) return copy.state.sha256;
  return std::nullopt;
}

void mark_twins(Piece& piece) {
  CopyOf& a = piece.copies[0];
  CopyOf& b = piece.copies[1];
  if (!a.good() || !b.good()) return;
  if (a.state.size != b.state.size) {
    a.fault = b.fault = CopyFault::sizes_differ;
  } else if (a.state.sha256 && b.state.sha256 && *a.state.sha256 != *b.state.sha256) {
    a.fault = b.fault = CopyFault::digests_differ;
  }
}

}  // namespace

StoredFile::Verdict StoredFile::verdict() const {
  Verdict verdict = Verdict::redundant;
  for (const Piece& p : pieces) {
    if (!p.copies[0].usable() && !p.copies[1].usable()) return Verdict::lost;
    if (p.good_copies() < 2) verdict = Verdict::one_copy;
  }
  return verdict;
}

std::vector<StoredFile> files_of(const std::vector<std::string>& lines, const Settings& settings) {
  // name -> part -> copy -> line; a held record wins over a deleted one.
  std::map<std::string, std::map<int, std::array<std::string, 2>>> found;
  std::map<std::string, bool> held;
  for (const std::string& line : lines) {
    if (line.size() > list_line_limit) continue;
    const std::string fn = value_of(line, "FN");
    const std::string org = value_of(line, "ORG");
    if (org != "0" && org != "1") continue;
    std::string name = fn;
    int part = -1;
    if (is_part(fn)) {
      const std::optional<int> k = part_number(fn);
      if (!k) continue;
      part = *k;
      name = fn.substr(0, fn.rfind(':'));
    } else if (!is_whole_file(fn)) {
      continue;
    }
    const bool record_held = is_held_record(value_of(line, "CURR"));
    held[name] = held[name] || record_held;
    std::string& slot = found[name][part][org == "0" ? 0 : 1];
    if (slot.empty() || (record_held && !is_held_record(value_of(slot, "CURR")))) slot = line;
  }
  std::vector<StoredFile> files;
  for (auto& [name, parts] : found) {
    if (!held[name]) continue;
    StoredFile file{name, {}};
    // A whole file and parts under one name cannot both be; parts win.
    const bool split = parts.rbegin()->first >= 0;
    const int last = split ? parts.rbegin()->first : -1;
    for (int k = split ? 0 : -1; k <= last; ++k) {
      Piece piece;
      piece.part = k;
      piece.name = k < 0 ? name : name + ":" + std::to_string(k);
      for (int c = 0; c < 2; ++c) {
        CopyOf& copy = piece.copies[static_cast<size_t>(c)];
        copy.copy = c == 0 ? Copy::basic : Copy::second;
        auto listed = parts.find(k);
        if (listed == parts.end() || listed->second[static_cast<size_t>(c)].empty()) continue;
        copy.line = listed->second[static_cast<size_t>(c)];
        copy.node = node_of_port(settings, value_of(copy.line, "PORT"));
        copy.where = stored_copy_in(copy.line);
        copy.fault = is_held_record(value_of(copy.line, "CURR")) ? CopyFault::none : CopyFault::record_deleted;
      }
      file.pieces.push_back(std::move(piece));
    }
    files.push_back(std::move(file));
  }
  return files;
}

void ask_nodes(Survey& survey, const NodeTable& nconf, const Settings& settings, NodeExchange& exchange) {
  for (StoredFile& file : survey.files) {
    for (Piece& piece : file.pieces) {
      for (CopyOf& copy : piece.copies) {
        if (!copy.good()) continue;
        if (copy.node < 0 || !copy.where || nconf[static_cast<size_t>(copy.node)].port <= 0) {
          copy.fault = CopyFault::node_silent;
          continue;
        }
        const int port = nconf[static_cast<size_t>(copy.node)].port;
        Result<CopyState> state = ask_copy_state(exchange, settings.ip_addr, port, *copy.where);
        if (!state) {
          copy.fault = CopyFault::node_silent;
          continue;
        }
        copy.state = std::move(*state);
        if (!copy.state.held) copy.fault = CopyFault::missing;
        // The digest its own line carries comes first: the uploader took it
        // of the bytes it sent, whether or not the node keeps digests.
        if (std::optional<std::string> listed = listed_digest(copy.line)) copy.state.sha256 = std::move(listed);
      }
      // A copy is judged by its twin's digest where its own node keeps none:
      // only a piece that no node keeps a digest of is taken on sizes.
      if (!recorded_digest(piece))
        for (const CopyOf& copy : piece.copies)
          if (copy.state.held) survey.no_digests.insert(copy.node);
      mark_twins(piece);
    }
  }
}

void read_every_copy(Survey& survey, const NodeTable& nconf, std::string_view id, const Settings& settings,
                     RunEnv& env) {
  std::vector<CopyOf*> copies;
  std::vector<std::optional<std::string>> expected;  // the digest each copy is judged by
  std::vector<TransferJob> jobs;
  for (StoredFile& file : survey.files)
    for (Piece& piece : file.pieces)
      for (CopyOf& copy : piece.copies) {
        if (!copy.usable() || !copy.state.held || !copy.where || copy.node < 0) continue;
        const node_conf& node = nconf[static_cast<size_t>(copy.node)];
        Result<Transfer> t = sftp_transfer(node, to_int(node.sn), settings.ip_addr, id, copy.where->area,
                                           copy.where->name, env.reporter);
        if (!t) {
          copy.fault = CopyFault::unreadable;
          continue;
        }
        TransferJob job;
        job.transfer = std::move(*t);
        job.transfer.direction = Direction::download;
        job.transfer.copy = copy.copy;
        job.transfer.progress = false;
        job.transfer.label = std::string(copy_text(copy.copy)) + " copy of " + piece.name;
        copies.push_back(&copy);
        // Its own node's digest, else its twin's: both copies were the same
        // bytes when they were stored.
        expected.push_back(copy.state.sha256 ? copy.state.sha256 : recorded_digest(piece));
        jobs.push_back(std::move(job));
      }
  // Each copy is only read through, its digest taken as it comes: the
  // account never needs to fit on this disk.
  std::vector<std::string> computed(jobs.size());
  for (size_t j = 0; j < jobs.size(); ++j) {
    jobs[j].output_size = copies[j]->state.size;
    // The same bytes would come again: a copy that differs is rotten at once.
    jobs[j].check_failure_is_final = true;
    jobs[j].verify = [&, j](TransferJob& job) -> Status {
      if (job.passed_bytes != copies[j]->state.size) return Status::failure("the copy arrived short");
      computed[j] = job.passed_sha256;
      const std::optional<std::string>& recorded = expected[j];
      if (recorded && *recorded != computed[j]) return Status::failure("the copy differs from its digest");
      return Status::success();
    };
  }
  EngineOptions options{settings.transfers, false, {}, settings.stall_seconds, 250, env.progress};
  run_transfers(jobs, options, env.reporter, env.transfers);
  // A copy whose bytes are those recorded at upload is good, whatever its
  // twin holds; one whose bytes are not is rotten. Only twins of which no
  // digest is known are compared with each other.
  std::set<const CopyOf*> judged;
  for (size_t j = 0; j < jobs.size(); ++j) {
    if (jobs[j].done()) {
      if (expected[j]) {
        copies[j]->fault = CopyFault::none;
        copies[j]->state.sha256 = expected[j];
        judged.insert(copies[j]);
      } else {
        copies[j]->state.sha256 = computed[j];  // to compare with its twin
      }
      continue;
    }
    const bool differs = !computed[j].empty() && expected[j] && *expected[j] != computed[j];
    copies[j]->fault = differs ? CopyFault::rotten : CopyFault::unreadable;
  }
  for (StoredFile& file : survey.files)
    for (Piece& piece : file.pieces)
      if (!judged.count(&piece.copies[0]) && !judged.count(&piece.copies[1])) mark_twins(piece);
}

std::string fault_text(const CopyOf& copy) {
  switch (copy.fault) {
    case CopyFault::none: return "good";
    case CopyFault::not_listed: return "in no list that came";
    case CopyFault::record_deleted: return "its record is deleted";
    case CopyFault::node_silent: return "its node does not answer";
    case CopyFault::missing: return "not on its node (" + copy.state.cp + ")";
    case CopyFault::sizes_differ: return "its size differs from its twin's";
    case CopyFault::digests_differ: return "its digest differs from its twin's";
    case CopyFault::rotten: return "its bytes differ from its node's digest";
    case CopyFault::unreadable: return "it could not be downloaded";
  }
  return "";
}

namespace {

bool node_not_read(const CopyOf& copy) {
  return copy.fault == CopyFault::unreadable || copy.fault == CopyFault::node_silent;
}

std::string not_read_text(const CopyOf& copy) {
  return "node " + std::to_string(copy.node + 1) + ") could not be read (" + fault_text(copy) + ")";
}

}  // namespace

const CopyOf& copy_to_restore(const Piece& piece) {
  if (piece.copies[0].good()) return piece.copies[1];
  if (piece.copies[1].good() || !node_not_read(piece.copies[0])) return piece.copies[0];
  return node_not_read(piece.copies[1]) ? piece.copies[0] : piece.copies[1];
}

std::string no_good_copy_text(const Piece& piece, const CopyOf& named) {
  const CopyOf& other = &named == &piece.copies[0] ? piece.copies[1] : piece.copies[0];
  if (node_not_read(other)) return "no good copy could be read: the other copy's node (" + not_read_text(other);
  if (node_not_read(named)) return "no good copy could be read: its node (" + not_read_text(named);
  return "no good copy left";
}

}  // namespace morbs
