#include "peers/morbnode/requests.h"

#include <chrono>
#include <ctime>
#include <filesystem>

#include "core/wire/wire.h"
#include "peers/morbnode/names.h"
#include "peers/morbnode/request_fields.h"

namespace morbs::node {

namespace fs = std::filesystem;

namespace {

const std::string refusal(wire::refusal);

// A list line holds at most 1022 characters before its line end.
constexpr size_t max_list_line = 1022;

std::string done(const std::string& re, const std::string& cp = "ok") {
  return "STATUS=done&RE=" + re + "&CP=" + cp + "&";
}
std::string refused(const std::string& cp) { return "STATUS=refused&RE=refused&CP=" + cp + "&"; }

// The request names one stored file of one area of one account, all checked.
bool names_stored_file(const Fields& f, const char* name_key) {
  return is_account_id(f.get("ID")) && is_area(f.get("DISK")) && is_stored_name(f.get(name_key));
}

std::string local_stamp() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d %H:%M:%S", &tm);
  return text;
}

// The line with its CURR value replaced; the other fields as they were.
std::string with_flag(const Fields& line, const std::string& flag) {
  std::string out;
  bool replaced = false;
  for (const auto& [key, value] : line.pairs()) {
    const bool curr = key == "CURR";
    out += key + "=" + (curr ? flag : value) + "&";
    replaced = replaced || curr;
  }
  return replaced ? out : out + "CURR=" + flag + "&";
}

std::string time_precise() {
  // Strictly increasing, even when the clock stands still or steps back.
  static int64_t last = 0;
  auto now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                 std::chrono::system_clock::now().time_since_epoch()).count();
  last = std::max<int64_t>(now, last + 1);
  return "TIME=" + std::to_string(last / 1000000000) + "&NANO=" + std::to_string(last % 1000000000) + "&";
}

std::string check_account(NodeStore& store, const Fields& f) {
  const std::string& id = f.get("ID");
  if (!is_account_id(id)) return refusal;
  auto state = [&](const char* area) {
    return store.account_exists(id, area) ? std::string("ready") : std::string("noaccount");
  };
  return "ACCOUNTS=" + state("accounts") + "&ACCOUNTS1=" + state("accounts1") + "&";
}

std::string reserve(NodeStore& store, const Fields& f) {
  auto size = parse_size(f.get("FSZ"));
  if (!names_stored_file(f, "FN") || !size) return refusal;
  const Reservation r{f.get("ID"), f.get("DISK"), f.get("FN"), *size, seconds_now()};
  // A second copy under a listed name could never be registered, and its
  // upload would overwrite nothing but still hold the space.
  if (store.is_listed(r.id, r.area, r.stored_name)) return refused("file_listed");
  std::error_code ec;
  if (fs::exists(store.stored_file(r), ec) && !store.find_reservation(r.id, r.area, r.stored_name))
    return refused("file_exists");
  // The old reservation of the same name is replaced: its space counts as free.
  int64_t free = store.free_space(r.area);
  if (auto old = store.find_reservation(r.id, r.area, r.stored_name)) {
    const auto written = fs::file_size(store.stored_file(r), ec);
    free = saturating_add(free, old->size - (ec ? 0 : std::min<int64_t>(static_cast<int64_t>(written), old->size)));
  }
  if (free < r.size) return refused("no_space");
  return store.reserve(r) ? done("reserved") : refused("error_resv");
}

// The client's digest of a copy it registers, kept in the line as it came:
// 64 lower-case hex digits and nothing else, or no such field.
bool listed_digest_taken(const NodeStore& store, const Fields& f) {
  if (!f.has("SHA")) return true;
  if (store.options().refuse_listed_digests) return false;
  const std::string& sha = f.get("SHA");
  return sha.size() == 64 && sha.find_first_not_of("0123456789abcdef") == std::string::npos;
}

std::string register_copy(NodeStore& store, const Fields& f, const std::string& request) {
  const std::string &id = f.get("ID"), &area = f.get("DISK"), &name = f.get("FN");
  // The node writes the flag and the date; a request never sets them.
  if (!names_stored_file(f, "FN") || f.has("CURR") || f.has("DATE")) return refusal;
  if (!listed_digest_taken(store, f)) return refusal;
  const std::string line = request + "CURR=ishere&DATE=" + local_stamp() + "&";
  if (line.size() > max_list_line) return refusal;
  auto reservation = store.find_reservation(id, area, name);
  if (!reservation) return refused("no_reservation");
  std::error_code ec;
  auto size = fs::file_size(store.stored_file(*reservation), ec);
  if (ec || static_cast<int64_t>(size) != reservation->size) return refused("error_size");
  for (const auto& stored : store.read_list(store.files_list(id, area))) {
    auto entry = Fields::parse(stored);
    if (entry && entry->get("FN") == name) return refused("file_listed");
  }
  if (!store.append_line(store.files_list(id, area), line)) return refused("error_list");
  store.release(id, area, name);
  return done("added");
}

// Written in full: either still under its reservation with every reserved
// byte there, or registered in the files list with its data present.
bool holds_whole_copy(NodeStore& store, const std::string& id, const std::string& area, const std::string& name) {
  std::error_code ec;
  const fs::path data = store.account_dir(id, area) / name;
  if (auto reservation = store.find_reservation(id, area, name)) {
    const auto size = fs::file_size(data, ec);
    return !ec && static_cast<int64_t>(size) == reservation->size;
  }
  for (const auto& stored : store.read_list(store.files_list(id, area))) {
    auto entry = Fields::parse(stored);
    if (entry && entry->get("FN") == name)
      return (entry->get("CURR") == "ishere" || entry->get("CURR") == "locked") &&
             fs::is_regular_file(fs::symlink_status(data, ec));
  }
  return false;
}

std::string register_archive(NodeStore& store, const Fields& f, const std::string& request) {
  const std::string &id = f.get("ID"), &area = f.get("DISK"), &name = f.get("FN");
  if (!names_stored_file(f, "FN") || f.has("DATE")) return refusal;
  if (!listed_digest_taken(store, f)) return refusal;
  const std::string line = request + "DATE=" + local_stamp() + "&";
  if (line.size() > max_list_line) return refusal;
  if (!store.account_exists(id, area)) return refused("no_account");
  // Only for a copy this node stores: no line can be planted for a name it never took.
  if (!holds_whole_copy(store, id, area, name)) return refused("no_file");
  for (const auto& stored : store.read_list(store.archive_list(id, area))) {
    auto entry = Fields::parse(stored);
    if (entry && entry->get("FN") == name) return refused("file_listed");
  }
  return store.append_line(store.archive_list(id, area), line) ? done("added") : refused("error_list");
}

std::string change_flag(NodeStore& store, const Fields& f) {
  const std::string &id = f.get("ID"), &area = f.get("DISK"), &name = f.get("FN");
  const std::string& flag = f.get("CURRNEW");
  if (!names_stored_file(f, "FN") ||
      (flag != "ishere" && flag != "archiv" && flag != "delete" && flag != "locked"))
    return refusal;
  const fs::path data = store.account_dir(id, area) / name;
  const fs::path list = store.files_list(id, area);
  std::error_code ec;

  std::vector<std::string> lines = store.read_list(list);
  std::string* entry = nullptr;
  std::optional<Fields> entry_fields;
  bool any_locked = false;  // a list with the name twice: the lock wins
  for (auto& line : lines) {
    auto parsed = Fields::parse(line);
    if (!parsed || parsed->get("FN") != name) continue;
    any_locked = any_locked || parsed->get("CURR") == "locked";
    if (!entry) {
      entry = &line;
      entry_fields = std::move(parsed);
    }
  }
  if (!entry) {
    // A copy reserved and never registered: an interrupted upload undone.
    if (flag == "delete" && store.find_reservation(id, area, name)) {
      fs::remove(data, ec);
      store.forget_digest(id, area, name);
      store.release(id, area, name);
      return done("reservation_freed");
    }
    return refused("error_rm_file");
  }
  const std::string& current = entry_fields->get("CURR");
  if (current == flag) {
    // Already so: a delete reports that the flag was changed before.
    return flag == "delete" ? refused("end_chg") : done("unchanged");
  }
  if (current == "delete" || current == "archiv") return refused("file_removed");
  if ((current == "locked" || any_locked) && (flag == "delete" || flag == "archiv"))
    return refused("file_locked");
  // The list first: data is only removed once no entry says it is there.
  *entry = with_flag(*entry_fields, flag);
  if (!store.write_list(list, lines)) return refused("error_list");
  if (flag == "delete" || flag == "archiv") {
    fs::remove(data, ec);
    store.forget_digest(id, area, name);
  }
  return done("changed");
}

std::string check_file(NodeStore& store, const Fields& f) {
  if (!names_stored_file(f, "PFN")) return refusal;
  const std::string &id = f.get("ID"), &area = f.get("DISK"), &name = f.get("PFN");
  std::error_code ec;
  const fs::path file = store.account_dir(id, area) / name;
  if (!fs::is_regular_file(fs::symlink_status(file, ec))) return "STATUS=refused&FSIZE=null&CP=no_file&";
  auto size = fs::file_size(file, ec);
  if (ec) return "STATUS=refused&FSIZE=null&CP=no_file&";
  std::string reply = "STATUS=done&FSIZE=" + std::to_string(size) + "&CP=ok&";
  // The digest of the bytes as they were stored: a client compares its own
  // with it, and a file that changed on the disk since shows as different.
  if (auto digest = store.digest(id, area, name); digest && !store.options().no_digest)
    reply += "SHA256=" + *digest + "&";
  return reply;
}

std::string space(NodeStore& store) {
  return "ACCOUNTS=" + std::to_string(store.free_space("accounts")) +
         "&ACCOUNTS1=" + std::to_string(store.free_space("accounts1")) + "&";
}

}  // namespace

std::string answer(NodeStore& store, const Options& options, const std::string& request) {
  store.expire_reservations(seconds_now());
  auto parsed = Fields::parse(request);
  if (!parsed) return refusal;
  const Fields& f = *parsed;
  const std::string& op = f.get("OP");
  const std::string& sub = f.get("SUB");
  const size_t count = f.pairs().size();
  // Requests without arguments are those texts exactly.
  if (request == "TEST=H00&") return "SN=" + std::to_string(options.sn) + "&";
  if (f.first_key() != "OP") return refusal;
  if (op == "currentspace" && count == 1) return space(store);
  if (op == "sshpasswd" && count == 1)
    return "PA=" + options.user + ":" + options.password + "&PORT_SFTP=" + std::to_string(announced_sftp_port(options)) + "&";
  if (op == "timeprec" && count == 1) return time_precise();
  if (op == "chkaccount") return check_account(store, f);
  if (op == "resv") return reserve(store, f);
  if (op == "listfiles" && sub == "add" && f.pairs()[1].first == "SUB") return register_copy(store, f, request);
  if (op == "listARCHI" && sub == "add" && f.pairs()[1].first == "SUB") return register_archive(store, f, request);
  if (op == "listfiles" && sub == "chg") return change_flag(store, f);
  if (op == "chkfile") return check_file(store, f);
  return refusal;
}

}  // namespace morbs::node
