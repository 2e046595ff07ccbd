#include "erasebox/flag_change.h"

#include "core/session/account.h"
#include "core/wire/query_string.h"
#include "core/wire/scrambler.h"
#include "core/wire/wire.h"

namespace morbs::erasebox {

namespace {

bool is_flag(std::string_view f) {
  return f == "ishere" || f == "archiv" || f == "delete" || f == "locked";
}

void tell_system_error(Reporter& reporter, const char* prefix) {
  reporter.detail(format_text("%s: %s\n", prefix, platform::error_text().c_str()));
}

// The values a request would carry, judged before anything is sent.
bool sendable(const NodeTarget& target, std::string_view new_flag) {
  return is_flag(new_flag) && check_PESEL(target.id).ok() &&
         (target.area == "accounts" || target.area == "accounts1");
}

Change change_on_new_connection(const NodeTarget& target, std::string_view new_flag,
                                Reporter& reporter) {
  platform::TcpSocket socket = open_socket(target, reporter);
  if (!socket.is_open()) return Change::unreachable;
  std::string buffer;
  const bool done = chg_flag_in_list_name(target, socket, buffer, new_flag, reporter);
  socket.close();
  if (done) return Change::done;
  return sendable(target, new_flag) ? Change::refused : Change::not_valid;
}

}  // namespace

platform::TcpSocket open_socket(const NodeTarget& target, Reporter& reporter) {
  platform::TcpSocket socket;
  if (!socket.open()) {
    tell_system_error(reporter, "Error socket");
    return socket;
  }
  // Bounded where the old exchange blocked: a node that never answers makes
  // this copy fail instead of holding erasebox.
  if (!socket.connect_within(target.address, target.port, target.wait.seconds,
                             target.wait.microseconds) ||
      !socket.set_receive_timeout(reply_wait_us) || !socket.set_send_timeout(reply_wait_us)) {
    tell_system_error(reporter, "Error connect");
    socket.close();
  }
  return socket;
}

bool message(platform::TcpSocket& socket, std::string& buffer, std::string_view label,
             Reporter& reporter) {
  const std::string text(label);
  MessageBlock block{};
  codeV1(until_nul(buffer), 0, block);
  if (socket.send_once(block.data(), block.size()) != static_cast<long>(block.size())) {
    reporter.detail(format_text("Error write: %s\n", text.c_str()));
    return false;
  }
  buffer.clear();
  block.fill(0);
  // A reply cut short (the node closed early) is no reply.
  if (socket.receive_all(block.data(), block.size()) != static_cast<long>(block.size())) {
    reporter.detail(format_text("Error read: %s\n", text.c_str()));
    return false;
  }
  std::string_view raw(reinterpret_cast<const char*>(block.data()), block.size());
  if (until_nul(raw) == wire::refusal) {
    buffer = empty_slot;
    return false;
  }
  PlainBlock plain{};
  decodeV1(block, 0, plain);
  buffer.assign(until_nul(std::string_view(plain.data(), plain.size())));
  std::string status, cp;
  select_value(buffer, "STATUS", status);
  if (status == "refused") {
    select_value(buffer, "CP", cp);
    reporter.detail(format_text("Error in node: %s\n", cp.c_str()));
    return false;
  }
  return true;
}

bool chg_flag_in_list_name(const NodeTarget& target, platform::TcpSocket& socket,
                           std::string& buffer, std::string_view new_flag, Reporter& reporter) {
  if (!is_flag(new_flag)) {
    reporter.detail_line("Error chg_flag: incorrect flag");
    return false;
  }
  if (const Status id = check_PESEL(target.id); !id) {
    reporter.detail_line(id.why());
    return false;
  }
  if (target.area != "accounts" && target.area != "accounts1") {
    reporter.detail_line("Error chg_flag: incorrect disk");
    return false;
  }
  buffer = "OP=listfiles&SUB=chg&DISK=" + target.area + "&FN=" + target.stored_name +
           "&ID=" + target.id + "&CURRNEW=" + std::string(new_flag) + "&";
  if (message(socket, buffer, "chg flag in list_name", reporter)) return true;

  std::string cp;
  select_value(buffer, "CP", cp);
  // Only a run that shows its diagnostics takes a missing file for done.
  if (reporter.details_shown() && cp != absent && cp == "error_rm_file") {
    reporter.detail_line("There is no file in the node");
    return true;
  }
  if (cp == "end_chg" && new_flag == "delete") {
    reporter.detail_line("File's flag is set deleted in the list");
    return true;
  }
  reporter.detail(format_text("Error: can't change flag because %s\n", cp.c_str()));
  return false;
}

Change lock_unlock_file(const NodeTarget& target, std::string_view mode, Reporter& reporter) {
  if (mode != "lock" && mode != "unlock") {
    reporter.detail_line("[!]lock/unlock file: mode must be 'lock' or 'unlock'");
    return Change::not_valid;
  }
  return change_on_new_connection(target, mode == "lock" ? "locked" : "ishere", reporter);
}

Change del_file_directly(const NodeTarget& target, std::string_view /*mode*/, Reporter& reporter) {
  return change_on_new_connection(target, "delete", reporter);
}

}  // namespace morbs::erasebox
