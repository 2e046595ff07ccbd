#include "transfer/write_planning.h"

#include <cerrno>
#include <functional>

#include "core/session/account.h"
#include "core/wire/number_text.h"
#include "core/wire/query_string.h"
#include "lists/time_prefix.h"
#include "platform/regular_file.h"
#include "transfer/registration_lines.h"
#include "transfer/sftp_place.h"
#include "transfer/transliteration.h"

namespace morbs {

namespace {

// The texts that differ between the two modes.
struct ModeTexts {
  const char* no_disk;
  const char* wrong_port;
};
constexpr ModeTexts singular_texts{"no disk for write in singular-mode", "wrong port for write in singular-mode"};
constexpr ModeTexts matrix_texts{"no disk for write in matrix-mode", "wrong port for write in matrix-mode"};

std::optional<Area> area_number(int area) {
  if (area == 1) return Area::accounts;
  if (area == 2) return Area::accounts1;
  return std::nullopt;
}

// One copy to reserve: where it goes and what it is.
struct CopyPlace {
  int node;
  int area;
  Copy copy;
  int part;
  int directory;  // MORB<directory> on the node
  std::string fn;
  int64_t size;
};

// The context every reservation of one planning shares.
struct Planning {
  TransferTable& curl_table;
  const NodeTable& nconf;
  DisasterJournal& journal;
  const UploadOrder& order;
  Reporter& reporter;
  ModeTexts texts;
};

// Reserve one copy, record it first in the journal, then fill its transfer
// and its two registration lines.
Status reserve(Planning& p, const CopyPlace& c) {
  const std::optional<Area> area = area_number(c.area);
  if (!area) return Status::failure(p.texts.no_disk);
  const std::string_view disk = area_text(*area);
  const int port = p.nconf[c.node].port;
  std::string request = "OP=resv&ID=" + std::string(p.order.id) + "&DISK=" + std::string(disk) + "&FN=" + c.fn +
                        "&FSZ=" + std::to_string(c.size) + "&";
  const std::string line =
      request + "IPADDR=" + std::string(p.order.address) + "&PORT=" + std::to_string(port) + "&";
  // A reservation the disaster file does not name could not be given back
  // after a kill: none is made without it.
  if (!p.journal.record(line)) {
    const int error = errno;
    p.reporter.detail(format_text("ERORR: can't write to %s\n", p.journal.path().c_str()));
    return Status::failure("cannot write the disaster file " + p.journal.path() + ": " + platform::cause_of(error));
  }
  if (port <= 0) return Status::failure(p.texts.wrong_port);
  if (!p.order.exchange->ask(p.order.address, port, request))
    return Status::failure("connection to data-network is interrupted");
  std::string status;
  select_value(request, "STATUS", status);
  if (status != "done") return Status::failure("can't reserve space on disk");
  const Status incorrect = Status::failure("incorect registration in the upload table");
  Result<Transfer> transfer =
      sftp_transfer(p.nconf[c.node], c.directory, p.order.address, p.order.id, *area, c.fn, p.reporter);
  if (!transfer) return incorrect;
  PlannedCopy planned{*transfer, {}, {}};
  planned.transfer.direction = Direction::upload;
  planned.transfer.copy = c.copy;
  // A line that does not fit is not registered half-built: the plan fails.
  auto list = list_files_line(p.order.id, c.fn, p.order.uid32, c.copy, port, *area);
  auto archive = list_archive_line(p.order.id, c.fn, c.copy, port, *area);
  if (!list || !archive) return incorrect;
  planned.list_line = std::move(*list);
  planned.archive_line = std::move(*archive);
  p.curl_table.of(c.copy, c.part) = std::move(planned);
  return Status::success();
}

// The checks both modes begin with.
Status start_table(TransferTable& curl_table, const UploadOrder& order, Mode mode, Reporter& reporter) {
  curl_table = TransferTable{};
  curl_table.mode = mode;
  if (order.id.size() != account_id_length) {
    reporter.detail_line("Error: id must have 11 chars");
    return Status::failure("incorrect id, wrong lenght");
  }
  if (order.name.size() > archive_name_limit) return Status::failure("too long length of file-name-in-archi");
  return Status::success();
}

Result<std::string> prefix_for(const UploadOrder& order, int port) {
  if (!order.prefix.empty()) return std::string(order.prefix);
  return get_prefix(*order.exchange, order.address, port);
}

}  // namespace

std::string stored_file_name_of(std::string_view name_in_archive) {
  std::string out;
  decode_utf8(name_in_archive, out);
  decode_win(out);
  return out;
}

Status do_strings_write_singular_mode(TransferTable& curl_table, NodeTable& nconf,
                                      std::optional<DisasterJournal>& journal, const UploadOrder& order,
                                      Reporter& reporter) {
  if (Status s = start_table(curl_table, order, Mode::upload_singular, reporter); !s) return s;
  const WritePlaces places =
      test_write_in_singular_mode(nconf, order.address, order.port, order.size, *order.exchange);
  return reserve_singular(curl_table, nconf, places, journal, order, reporter);
}

Status reserve_singular(TransferTable& curl_table, const NodeTable& nconf, const WritePlaces& places,
                        std::optional<DisasterJournal>& journal, const UploadOrder& order, Reporter& reporter) {
  if (Status s = start_table(curl_table, order, Mode::upload_singular, reporter); !s) return s;
  const std::string fname = stored_file_name_of(order.name);
  if (places.basic_node < 0 || places.second_node < 0)
    return Status::failure("no free space in nodes or nodes are closed");
  const Result<std::string> prefix = prefix_for(order, nconf[places.basic_node].port);
  if (!prefix) return Status::failure("connection to data-network is interrupted");
  const std::string fn = *prefix + fname;
  journal.emplace(fname, false);
  journal->start_fresh(*order.exchange, reporter);

  Planning p{curl_table, nconf, *journal, order, reporter, singular_texts};
  const CopyPlace copies[] = {
      {places.basic_node, places.basic_area, Copy::basic, 0, places.basic_node + 1, fn, order.size},
      {places.second_node, places.second_area, Copy::second, 0, places.second_node + 1, fn, order.size}};
  for (const CopyPlace& c : copies) {
    if (Status s = reserve(p, c); !s) return s;
    curl_table.of(c.copy, 0)->transfer.local = std::string(order.local_path);
  }
  curl_table.part_count = 2;
  curl_table.part_size = order.size;
  curl_table.last_part_size = 0;
  return Status::success();
}

Status do_strings_write_matrix_mode(TransferTable& curl_table, NodeTable& nconf, permut_rec& permut,
                                    std::optional<DisasterJournal>& journal, const UploadOrder& order,
                                    Reporter& reporter) {
  if (Status s = start_table(curl_table, order, Mode::upload_matrix, reporter); !s) return s;
  test_write_in_matrix_mode(nconf, permut, order.address, order.port, order.size, *order.exchange);
  return reserve_matrix(curl_table, nconf, permut, journal, order, reporter);
}

Status reserve_matrix(TransferTable& curl_table, const NodeTable& nconf, const permut_rec& permut,
                      std::optional<DisasterJournal>& journal, const UploadOrder& order, Reporter& reporter) {
  if (Status s = start_table(curl_table, order, Mode::upload_matrix, reporter); !s) return s;
  const std::string fname = stored_file_name_of(order.name);
  const int n = permut.nr;
  if (n < 2 || n > node_count) return Status::failure("not enough free space in nodes for write in matrix-mode");
  const int first_port = nconf[permut.node[0]].port;
  if (first_port < 1) {
    reporter.detail_line("ERROR: permut struct has no defined port");
    return Status::failure("Data network is not ready for write in matrix-mode");
  }
  const Result<std::string> prefix = prefix_for(order, first_port);
  if (!prefix) return Status::failure("connection to data-network is interrupted");
  journal.emplace(fname, true);
  journal->start_fresh(*order.exchange, reporter);

  Planning p{curl_table, nconf, *journal, order, reporter, matrix_texts};
  // Part k of `copy` on slot `slot`.
  auto place = [&](int k, int slot, Copy copy, int64_t part_size) {
    const bool basic = copy == Copy::basic;
    const int node = basic ? permut.node[slot] : permut.node2[slot];
    const CopyPlace c{node, basic ? permut.area[slot] : permut.area2[slot], copy, k, to_int(nconf[node].sn),
                      *prefix + fname + ":" + std::to_string(k), part_size};
    return reserve(p, c);
  };
  for (int k = 0; k < n - 1; ++k)
    if (Status s = place(k, k, Copy::basic, permut.part_size); !s) return s;
  for (int k = 1; k < n; ++k)
    if (Status s = place(k - 1, k, Copy::second, permut.part_size); !s) return s;
  if (Status s = place(n - 1, n - 1, Copy::basic, permut.last_part_size); !s) return s;
  if (Status s = place(n - 1, 0, Copy::second, permut.last_part_size); !s) return s;

  curl_table.part_count = n;
  curl_table.part_size = permut.part_size;
  curl_table.last_part_size = permut.last_part_size;
  return Status::success();
}

}  // namespace morbs
