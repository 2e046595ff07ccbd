#include "erasebox/flag_change.h"

#include <cstdio>

#include "core/session/account.h"
#include "core/wire/query_string.h"
#include "core/wire/scrambler.h"
#include "core/wire/wire.h"

namespace morbs::erasebox {

namespace {

bool is_flag(std::string_view f) {
  return f == "ishere" || f == "archiv" || f == "delete" || f == "locked";
}

void print_system_error(const char* prefix) {
  std::printf("%s: %s\n", prefix, platform::error_text().c_str());
}

// The values a request would carry, judged before anything is sent.
bool sendable(const NodeTarget& target, std::string_view new_flag) {
  return is_flag(new_flag) && check_PESEL(target.id).ok() &&
         (target.area == "accounts" || target.area == "accounts1");
}

Change change_on_new_connection(const NodeTarget& target, std::string_view new_flag,
                                int diagnostics) {
  platform::TcpSocket socket = open_socket(target, diagnostics);
  if (!socket.is_open()) return Change::unreachable;
  std::string buffer;
  int result = chg_flag_in_list_name(target, socket, buffer, new_flag, diagnostics);
  socket.close();
  if (result == 0) return Change::done;
  return sendable(target, new_flag) ? Change::refused : Change::not_valid;
}

}  // namespace

platform::TcpSocket open_socket(const NodeTarget& target, int diagnostics) {
  platform::TcpSocket socket;
  if (!socket.open()) {
    if (diagnostics) print_system_error("Error socket");
    return socket;
  }
  // Bounded where the old exchange blocked: a node that never answers makes
  // this copy fail instead of holding erasebox.
  if (!socket.connect_within(target.address, target.port, target.wait.seconds,
                             target.wait.microseconds) ||
      !socket.set_receive_timeout(reply_wait_us) || !socket.set_send_timeout(reply_wait_us)) {
    if (diagnostics) print_system_error("Error connect");
    socket.close();
  }
  return socket;
}

int message(platform::TcpSocket& socket, std::string& buffer, std::string_view label,
            int diagnostics) {
  const std::string text(label);
  MessageBlock block{};
  codeV1(until_nul(buffer), 0, block);
  if (socket.send_once(block.data(), block.size()) != static_cast<long>(block.size())) {
    if (diagnostics) std::printf("Error write: %s\n", text.c_str());
    return -1;
  }
  buffer.clear();
  block.fill(0);
  // A reply cut short (the node closed early) is no reply.
  if (socket.receive_all(block.data(), block.size()) != static_cast<long>(block.size())) {
    if (diagnostics) std::printf("Error read: %s\n", text.c_str());
    return -1;
  }
  std::string_view raw(reinterpret_cast<const char*>(block.data()), block.size());
  if (until_nul(raw) == wire::refusal) {
    buffer = empty_slot;
    return -1;
  }
  PlainBlock plain{};
  decodeV1(block, 0, plain);
  buffer.assign(until_nul(std::string_view(plain.data(), plain.size())));
  std::string status, cp;
  select_value(buffer, "STATUS", status);
  if (status == "refused") {
    select_value(buffer, "CP", cp);
    if (diagnostics) std::printf("Error in node: %s\n", cp.c_str());
    return -1;
  }
  return 0;
}

int chg_flag_in_list_name(const NodeTarget& target, platform::TcpSocket& socket,
                          std::string& buffer, std::string_view new_flag, int diagnostics) {
  if (!is_flag(new_flag)) {
    if (diagnostics) std::puts("Error chg_flag: incorrect flag");
    return -1;
  }
  if (const Status id = check_PESEL(target.id); !id) {
    if (diagnostics) std::puts(id.why().c_str());
    return -1;
  }
  if (target.area != "accounts" && target.area != "accounts1") {
    if (diagnostics) std::puts("Error chg_flag: incorrect disk");
    return -1;
  }
  buffer = "OP=listfiles&SUB=chg&DISK=" + target.area + "&FN=" + target.stored_name +
           "&ID=" + target.id + "&CURRNEW=" + std::string(new_flag) + "&";
  if (message(socket, buffer, "chg flag in list_name", diagnostics) == 0) return 0;

  std::string cp;
  select_value(buffer, "CP", cp);
  if (diagnostics && cp != absent && cp == "error_rm_file") {
    std::puts("There is no file in the node");
    return 0;
  }
  if (cp == "end_chg" && new_flag == "delete") {
    if (diagnostics) std::puts("File's flag is set deleted in the list");
    return 0;
  }
  if (diagnostics) std::printf("Error: can't change flag because %s\n", cp.c_str());
  return -1;
}

Change lock_unlock_file(const NodeTarget& target, std::string_view mode, int diagnostics) {
  if (mode != "lock" && mode != "unlock") {
    if (diagnostics) std::puts("[!]lock/unlock file: mode must be 'lock' or 'unlock'");
    return Change::not_valid;
  }
  return change_on_new_connection(target, mode == "lock" ? "locked" : "ishere", diagnostics);
}

Change del_file_directly(const NodeTarget& target, std::string_view /*mode*/, int diagnostics) {
  return change_on_new_connection(target, "delete", diagnostics);
}

}  // namespace morbs::erasebox
