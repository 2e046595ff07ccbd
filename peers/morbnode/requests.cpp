#include "peers/morbnode/requests.h"

#include <chrono>
#include <ctime>
#include <filesystem>

#include "core/account.h"
#include "core/number_text.h"
#include "core/query_string.h"
#include "core/wire.h"

namespace morbs::node {

namespace fs = std::filesystem;

namespace {

const std::string refusal(wire::refusal);

std::string field(const std::string& request, const char* key) {
  std::string value;
  select_value(request, key, value);
  return value;
}

bool starts_with(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

std::string done(const std::string& re, const std::string& cp = "ok") {
  return "STATUS=done&RE=" + re + "&CP=" + cp + "&";
}
std::string refused(const std::string& cp) { return "STATUS=refused&RE=refused&CP=" + cp + "&"; }

// A stored name is one plain file name of the form prefix:fname[:postfix].
bool is_stored_name(const std::string& name) {
  return !name.empty() && name.size() <= 255 && name.find(':') != std::string::npos &&
         name.find('/') == std::string::npos && name.find('\0') == std::string::npos &&
         name != "." && name != "..";
}

bool is_account(const std::string& id) { return id.size() == 11 && check_PESEL(id, 0) == 1; }

std::string local_stamp() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d %H:%M:%S", &tm);
  return text;
}

// The value of CURR in a list line replaced.
std::string with_flag(const std::string& line, const std::string& flag) {
  size_t start = line.find("CURR=");
  if (start == std::string::npos) return line + "CURR=" + flag + "&";
  size_t end = line.find('&', start);
  return line.substr(0, start + 5) + flag + (end == std::string::npos ? "&" : line.substr(end));
}

std::string time_precise() {
  // Strictly increasing, even when the clock stands still or steps back.
  static int64_t last = 0;
  auto now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                 std::chrono::system_clock::now().time_since_epoch()).count();
  last = std::max<int64_t>(now, last + 1);
  return "TIME=" + std::to_string(last / 1000000000) + "&NANO=" + std::to_string(last % 1000000000) + "&";
}

std::string check_account(NodeStore& store, const std::string& request) {
  std::string id = field(request, "ID");
  if (!is_account(id)) return refusal;
  auto state = [&](const char* area) {
    return store.account_exists(id, area) ? std::string("ready") : std::string("noaccount");
  };
  return "ACCOUNTS=" + state("accounts") + "&ACCOUNTS1=" + state("accounts1") + "&";
}

std::string reserve(NodeStore& store, const std::string& request) {
  Reservation r{field(request, "ID"), field(request, "DISK"), field(request, "FN"), 0};
  auto size = to_int64(field(request, "FSZ"));
  if (!is_account(r.id) || !is_area(r.area) || !is_stored_name(r.stored_name) || !size || *size < 0)
    return refusal;
  r.size = *size;
  std::error_code ec;
  if (fs::exists(store.stored_file(r), ec) && !store.find_reservation(r.id, r.area, r.stored_name))
    return refused("file_exists");
  if (store.free_space(r.area) < r.size) return refused("no_space");
  return store.reserve(r) ? done("reserved") : refused("error_resv");
}

std::string register_copy(NodeStore& store, const std::string& request) {
  const std::string id = field(request, "ID"), area = field(request, "DISK"), name = field(request, "FN");
  if (!is_account(id) || !is_area(area) || !is_stored_name(name)) return refusal;
  auto reservation = store.find_reservation(id, area, name);
  if (!reservation) return refused("no_reservation");
  std::error_code ec;
  auto size = fs::file_size(store.stored_file(*reservation), ec);
  if (ec || static_cast<int64_t>(size) != reservation->size) return refused("error_size");
  // The node writes the flag and the date; a request never sets them.
  if (request.find("CURR=") != std::string::npos || request.find("DATE=") != std::string::npos)
    return refusal;
  for (const auto& line : store.read_list(store.files_list(id, area)))
    if (field(line, "FN") == name) return refused("file_listed");
  const std::string line = request + "CURR=ishere&DATE=" + local_stamp() + "&";
  if (!store.append_line(store.files_list(id, area), line)) return refused("error_list");
  store.release(id, area, name);
  return done("added");
}

std::string register_archive(NodeStore& store, const std::string& request) {
  const std::string id = field(request, "ID"), area = field(request, "DISK"), name = field(request, "FN");
  if (!is_account(id) || !is_area(area) || !is_stored_name(name)) return refusal;
  if (!store.account_exists(id, area)) return refused("no_account");
  const std::string line = request + "DATE=" + local_stamp() + "&";
  return store.append_line(store.archive_list(id, area), line) ? done("added") : refused("error_list");
}

std::string change_flag(NodeStore& store, const std::string& request) {
  const std::string id = field(request, "ID"), area = field(request, "DISK"), name = field(request, "FN");
  const std::string flag = field(request, "CURRNEW");
  if (!is_account(id) || !is_area(area) || !is_stored_name(name) ||
      (flag != "ishere" && flag != "archiv" && flag != "delete" && flag != "locked"))
    return refusal;
  const fs::path data = store.account_dir(id, area) / name;
  const fs::path list = store.files_list(id, area);
  std::error_code ec;

  std::vector<std::string> lines = store.read_list(list);
  std::string* entry = nullptr;
  for (auto& line : lines)
    if (field(line, "FN") == name) entry = &line;
  if (!entry) {
    // A copy reserved and never registered: an interrupted upload undone.
    if (flag == "delete" && store.find_reservation(id, area, name)) {
      fs::remove(data, ec);
      store.release(id, area, name);
      return done("reservation_freed");
    }
    return refused("error_rm_file");
  }
  const std::string current = field(*entry, "CURR");
  if (current == flag) {
    // Already so: a delete reports that the flag was changed before.
    return flag == "delete" ? refused("end_chg") : done("unchanged");
  }
  if (current == "delete" || current == "archiv") return refused("file_removed");
  if (current == "locked" && (flag == "delete" || flag == "archiv")) return refused("file_locked");
  if (flag == "delete" || flag == "archiv") fs::remove(data, ec);
  *entry = with_flag(*entry, flag);
  return store.write_list(list, lines) ? done("changed") : refused("error_list");
}

std::string check_file(NodeStore& store, const std::string& request) {
  const std::string id = field(request, "ID"), area = field(request, "DISK"), name = field(request, "PFN");
  if (!is_account(id) || !is_area(area) || !is_stored_name(name)) return refusal;
  std::error_code ec;
  auto size = fs::file_size(store.account_dir(id, area) / name, ec);
  if (ec) return "STATUS=refused&FSIZE=null&CP=no_file&";
  return "STATUS=done&FSIZE=" + std::to_string(size) + "&CP=ok&";
}

std::string space(NodeStore& store) {
  return "ACCOUNTS=" + std::to_string(store.free_space("accounts")) +
         "&ACCOUNTS1=" + std::to_string(store.free_space("accounts1")) + "&";
}

}  // namespace

std::string answer(NodeStore& store, const Options& options, const std::string& request) {
  if (request == "TEST=H00&") return "SN=" + std::to_string(options.sn) + "&";
  if (starts_with(request, "OP=chkaccount&")) return check_account(store, request);
  if (request == "OP=currentspace&") return space(store);
  if (request == "OP=sshpasswd&")
    return "PA=" + options.user + ":" + options.password + "&PORT_SFTP=" +
           std::to_string(options.sftp_port) + "&";
  if (request == "OP=timeprec&") return time_precise();
  if (starts_with(request, "OP=resv&")) return reserve(store, request);
  if (starts_with(request, "OP=listfiles&SUB=add&")) return register_copy(store, request);
  if (starts_with(request, "OP=listARCHI&SUB=add&")) return register_archive(store, request);
  if (starts_with(request, "OP=listfiles&SUB=chg&")) return change_flag(store, request);
  if (starts_with(request, "OP=chkfile&")) return check_file(store, request);
  return refusal;
}

}  // namespace morbs::node
