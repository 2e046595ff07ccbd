#include "transfer/copy_check.h"

#include <vector>

#include "core/wire/number_text.h"
#include "core/wire/query_string.h"
#include "core/wire/wire.h"

namespace morbs {

namespace {

std::string value_of(std::string_view line, std::string_view key) {
  std::string v;
  select_value(std::string(line), key, v);
  return v;
}

bool is_sha256(const std::string& text) {
  return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

}  // namespace

std::optional<StoredCopy> stored_copy_in(std::string_view line) {
  StoredCopy copy;
  copy.id = value_of(line, "ID");
  copy.name = value_of(line, "FN");
  const std::optional<Area> area = area_of(value_of(line, "DISK"));
  const std::optional<int64_t> port = to_int64(value_of(line, "PORT"));
  if (copy.id == "NULL" || copy.name == "NULL" || !area || !port || *port < 1 || *port > 65535) return std::nullopt;
  copy.area = *area;
  copy.port = static_cast<int>(*port);
  return copy;
}

Result<CopyState> ask_copy_state(NodeExchange& exchange, std::string_view address, int port,
                                 const StoredCopy& copy) {
  std::string message = "OP=chkfile&ID=" + copy.id + "&DISK=" + std::string(area_text(copy.area)) +
                        "&PFN=" + copy.name + "&";
  // A longer request would reach the node cut, asking about another name.
  if (message.size() >= wire::message_plain_size) return Status::failure("the stored name is too long to ask for");
  if (!exchange.ask(address, port, message)) return Status::failure("the node does not answer");
  CopyState state;
  state.held = value_of(message, "STATUS") == "done";
  state.cp = value_of(message, "CP");
  if (const std::optional<int64_t> size = to_int64(value_of(message, "FSIZE")); size && *size >= 0)
    state.size = *size;
  if (std::string sha = value_of(message, "SHA256"); is_sha256(sha)) state.sha256 = std::move(sha);
  return state;
}

void DigestNotice::no_digest_from(int port) {
  if (told_.exchange(true)) return;
  // Beside the system's texts, never among them.
  reporter_.error_detail("the node at port " + std::to_string(port) +
                         " keeps no digests: its copies are checked by size only\n");
}

Status matches(const CopyState& state, const Digest& meant, int port, DigestNotice& notice) {
  if (!state.held) return Status::failure("the node does not hold the copy (" + state.cp + ")");
  if (state.size != meant.size)
    return Status::failure("the node holds " + std::to_string(state.size) + " bytes, not " +
                           std::to_string(meant.size));
  if (!state.sha256) {
    notice.no_digest_from(port);
    return Status::success();
  }
  if (*state.sha256 != meant.sha256) return Status::failure("the node holds other bytes than were sent");
  return Status::success();
}

std::function<Status(TransferJob&)> UploadChecks::hook(const std::string& registration_line) {
  return [this, copy = stored_copy_in(registration_line)](TransferJob& job) { return check(job, copy); };
}

std::function<Status(TransferJob&)> UploadChecks::hook(PlannedCopy& planned) {
  return [this, &planned, copy = stored_copy_in(planned.list_line)](TransferJob& job) {
    Status checked = check(job, copy);
    planned.sent_sha256 = checked ? job.passed_sha256 : std::string();
    return checked;
  };
}

Status UploadChecks::check(const TransferJob& job, const std::optional<StoredCopy>& copy) {
  if (!copy) return Status::failure("the copy's registration line names no place");
  const Digest sent{job.passed_bytes, job.passed_sha256};
  Result<CopyState> state = ask_copy_state(exchange_, address_, copy->port, *copy);
  if (!state) return state.status();
  return matches(*state, sent, copy->port, notice_);
}

}  // namespace morbs
