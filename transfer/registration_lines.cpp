#include "transfer/registration_lines.h"

#include "core/wire/number_text.h"
#include "core/wire/query_string.h"
#include "core/wire/wire.h"
#include "lists/listed_digest.h"
#include "lists/stored_name.h"

namespace morbs {

namespace {

std::optional<std::string> bounded(std::string line) {
  if (line.size() > registration_line_limit) return std::nullopt;
  return line;
}

}  // namespace

std::optional<std::string> list_files_line(std::string_view id, std::string_view stored_name,
                                           std::string_view uid32, Copy copy, int port, Area area) {
  std::string line = "OP=listfiles&SUB=add&FN=";
  line.append(stored_name).append("&ID=").append(id).append("&UID32=").append(uid32);
  line.append("&ORG=").append(org_text(copy));
  line.append("&PORT=").append(std::to_string(port)).append("&DISK=").append(area_text(area)).append("&");
  return bounded(std::move(line));
}

std::optional<std::string> list_archive_line(std::string_view id, std::string_view stored_name, Copy copy,
                                             int port, Area area) {
  std::string line = "OP=listARCHI&SUB=add&ID=";
  line.append(id).append("&DISK=").append(area_text(area)).append("&FN=").append(stored_name);
  line.append("&DIRF=auto&ORG=").append(org_text(copy));
  line.append("&PORT=").append(std::to_string(port)).append("&");
  return bounded(std::move(line));
}


namespace {

// What the node said of one line sent: nothing when it was not asked.
struct Answer {
  bool done = false;
  std::string re, cp;
};

Result<Answer> ask_to_register(NodeExchange& exchange, std::string_view address, std::string_view line) {
  std::string request(line);
  std::string port;
  select_value(request, "PORT", port);
  if (port == absent) return Status::failure("abort by undefined port in list/archi strings");
  if (!exchange.ask(address, to_int(port), request))
    return Status::failure("abort connection for write list/archi strings");
  Answer answer;
  std::string status;
  select_value(request, "STATUS", status);
  answer.done = status == "done";
  select_value(request, "RE", answer.re);
  select_value(request, "CP", answer.cp);
  return answer;
}

Status told(const Answer& answer, Reporter& reporter) {
  if (answer.done) return Status::success();
  reporter.detail(format_text("Error: %s: ", answer.re.c_str()));
  reporter.detail(format_text(" %s\n", answer.cp.c_str()));
  return Status::failure("the node refused the line: " + answer.re);
}

// Room a list line keeps for what the node adds to a registration line:
// its flag and its date (CURR=ishere&DATE=<17 or more>&), with a margin.
constexpr size_t node_additions = 64;

}  // namespace

Status register_line(NodeExchange& exchange, std::string_view address, std::string_view line, Reporter& reporter) {
  Result<Answer> answer = ask_to_register(exchange, address, line);
  if (!answer) return answer.status();
  return told(*answer, reporter);
}

std::optional<std::string> with_listed_digest(std::string_view line, std::string_view sha256) {
  if (!is_sha256_text(sha256)) return std::nullopt;
  std::string digested(line);
  digested.append(listed_digest_key).append("=").append(sha256).append("&");
  // A longer request would reach the node cut.
  if (digested.size() >= wire::message_plain_size) return std::nullopt;
  if (digested.size() + node_additions > list_line_limit) return std::nullopt;
  return digested;
}

void ListedDigestNotice::once(const std::string& text, Reporter& reporter) {
  if (!told_.exchange(true)) reporter.warn_line(text);
}

void ListedDigestNotice::refused_by(int port, Reporter& reporter) {
  once(program_ + ": the node at port " + std::to_string(port) +
           " refused a list line carrying its copy's digest: such lines are registered without it",
       reporter);
}

void ListedDigestNotice::did_not_fit(Reporter& reporter) {
  once(program_ + ": a list line would be too long with its copy's digest: such lines are registered without it",
       reporter);
}

Status register_line_with_digest(NodeExchange& exchange, std::string_view address, std::string_view line,
                                 std::string_view sha256, Reporter& reporter, ListedDigestNotice& notice) {
  const std::optional<std::string> digested = with_listed_digest(line, sha256);
  if (!digested) {
    if (is_sha256_text(sha256)) notice.did_not_fit(reporter);
    return register_line(exchange, address, line, reporter);
  }
  Result<Answer> answer = ask_to_register(exchange, address, *digested);
  // A node that refuses a request it cannot parse answers with its refusal
  // text: the line reached it and was not taken. Any other failure may have
  // registered it, and is not sent again.
  if (!answer && !exchange.last_was_refusal()) return answer.status();
  if (answer && answer->done) return Status::success();
  // A node that parses its lines strictly may know no SHA field: the line
  // as written still registers the copy, and readers fall back on the node.
  std::string port;
  select_value(line, "PORT", port);
  notice.refused_by(to_int(port), reporter);
  return register_line(exchange, address, line, reporter);
}

}  // namespace morbs
