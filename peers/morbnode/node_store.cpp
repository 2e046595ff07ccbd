#include "peers/morbnode/node_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "core/session/account.h"
#include "platform/file_region.h"
#include "peers/morbnode/names.h"
#include "peers/morbnode/request_fields.h"

namespace morbs::node {

namespace fs = std::filesystem;
using platform::FileDescriptor;

namespace {

std::optional<std::string> read_whole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool parse_seconds(const std::string& text, int64_t& out) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size() && out >= 0;
}

}  // namespace

int64_t seconds_now() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch()).count();
}

bool replace_file(const fs::path& path, const std::string& content, Flush flush) {
  const fs::path part = path.string() + ".part";
  FileDescriptor file(::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644));
  if (!file) return false;
  bool ok = true;
  for (size_t done = 0; ok && done < content.size();) {
    ssize_t put = ::write(file.get(), content.data() + done, content.size() - done);
    ok = put > 0;
    if (ok) done += static_cast<size_t>(put);
  }
  // On disk before it takes the old file's place, and the new name on disk
  // before the node answers: a reply of "done" survives a power cut. Stored
  // files are flushed when their upload closes, so this flush stays small.
  ok = ok && (flush == Flush::no || ::fsync(file.get()) == 0);
  ok = file.close() && ok;
  std::error_code error;
  if (ok) fs::rename(part, path, error);
  if (!ok || error) {
    fs::remove(part, error);
    return false;
  }
  return flush == Flush::no || sync_directory(path.parent_path());
}

bool sync_directory(const fs::path& dir) {
  FileDescriptor handle(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return handle && ::fsync(handle.get()) == 0;
}

NodeStore::NodeStore(const Options& options)
    : options_(options),
      root_(fs::absolute(options.root)),
      system_dir_(root_ / "home" / options.user / "MORBS-SYSTEM" /
                  ("MORB" + std::to_string(options.sn))) {}

bool NodeStore::open(std::string& error) {
  std::error_code ec;
  fs::create_directories(private_dir(), ec);
  if (!ec) fs::create_directories(system_dir_ / "ACCOUNTS", ec);
  if (!ec) fs::create_directories(system_dir_ / "ACCOUNTS1", ec);
  if (ec) {
    error = "cannot create " + system_dir_.string() + ": " + ec.message();
    return false;
  }
  load_reservations();
  return true;
}

fs::path NodeStore::account_dir(const std::string& id, const std::string& area) const {
  std::string path;
  make_path_pesel(id, area, path);
  return system_dir_ / path;
}

bool NodeStore::account_exists(const std::string& id, const std::string& area) const {
  std::error_code ec;
  return fs::is_directory(account_dir(id, area), ec);
}

int64_t NodeStore::used_bytes(const std::string& area) const {
  int64_t used = 0;
  std::error_code ec;
  const fs::path dir = system_dir_ / (area == "accounts" ? "ACCOUNTS" : "ACCOUNTS1");
  for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    std::error_code entry_error;
    if (!it->is_regular_file(entry_error) || it->path().filename().string().find(':') == std::string::npos)
      continue;
    const auto size = it->file_size(entry_error);
    if (!entry_error) used = saturating_add(used, static_cast<int64_t>(std::min<uintmax_t>(size, INT64_MAX)));
  }
  return used;
}

int64_t NodeStore::free_space(const std::string& area) const {
  // What reservations still hold beyond what has been written.
  int64_t outstanding = 0;
  for (const Reservation& r : reservations_) {
    if (r.area != area) continue;
    std::error_code ec;
    const auto written = fs::file_size(stored_file(r), ec);
    const int64_t held = ec ? r.size : r.size - static_cast<int64_t>(std::min<uintmax_t>(written, r.size));
    outstanding = saturating_add(outstanding, held);
  }
  const auto& capacity = area == "accounts" ? options_.capacity_accounts : options_.capacity_accounts1;
  int64_t free = 0;
  if (capacity) {
    free = saturating_add(*capacity, -saturating_add(used_bytes(area), outstanding));
  } else {
    std::error_code ec;
    const auto available = fs::space(root_, ec).available;
    free = saturating_add(static_cast<int64_t>(std::min<uintmax_t>(available, INT64_MAX)), -outstanding);
  }
  return std::max<int64_t>(free, 0);
}

void NodeStore::load_reservations() {
  reservations_.clear();
  const int64_t loaded_at = seconds_now();
  std::ifstream in(private_dir() / "reservations.q");
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    auto fields = Fields::parse(line);
    Reservation r;
    std::optional<int64_t> size;
    if (fields) {
      r = {fields->get("ID"), fields->get("DISK"), fields->get("FN"), 0, loaded_at};
      size = parse_size(fields->get("FSZ"));
      // Records from before reservations expired count from this start.
      if (fields->has("AT") && !parse_seconds(fields->get("AT"), r.reserved_at)) size.reset();
    }
    if (!fields || !is_account_id(r.id) || !is_area(r.area) || !is_stored_name(r.stored_name) || !size ||
        find_reservation(r.id, r.area, r.stored_name)) {
      std::fprintf(stderr, "morbnode: reservations.q line %d skipped: not a valid reservation\n", number);
      continue;
    }
    r.size = *size;
    reservations_.push_back(r);
  }
}

bool NodeStore::save_reservations(const std::vector<Reservation>& all, Flush flush) {
  std::string content;
  for (const Reservation& r : all)
    content += "ID=" + r.id + "&DISK=" + r.area + "&FN=" + r.stored_name +
               "&FSZ=" + std::to_string(r.size) +
               "&AT=" + std::to_string(r.reserved_at) + "&\n";
  if (!replace_file(private_dir() / "reservations.q", content, flush)) return false;
  reservations_ = all;
  return true;
}

std::optional<Reservation> NodeStore::find_reservation(const std::string& id, const std::string& area,
                                                       const std::string& stored_name) const {
  for (const Reservation& r : reservations_)
    if (r.id == id && r.area == area && r.stored_name == stored_name) return r;
  return std::nullopt;
}

std::optional<Reservation> NodeStore::reservation_at(const fs::path& local) const {
  for (const Reservation& r : reservations_)
    if (stored_file(r) == local) return r;
  return std::nullopt;
}

bool NodeStore::reserve(const Reservation& r) {
  std::error_code ec;
  const fs::path dir = account_dir(r.id, r.area);
  if (fs::create_directories(dir, ec)) {
    // New directories are kept only once their names are on disk too.
    for (fs::path up = dir.parent_path(); up != system_dir_.parent_path(); up = up.parent_path())
      if (!sync_directory(up)) return false;
  }
  if (ec) return false;
  // An area that answers "ready" always has a list to fetch, empty or not.
  if (!fs::exists(files_list(r.id, r.area), ec) && !replace_file(files_list(r.id, r.area), ""))
    return false;
  auto all = reservations_;
  std::erase_if(all, [&](const Reservation& o) {
    return o.id == r.id && o.area == r.area && o.stored_name == r.stored_name;
  });
  all.push_back(r);
  // The bytes to come are new ones: no digest of earlier bytes may stay.
  forget_digest(r.id, r.area, r.stored_name);
  written_[stored_file(r).string()].digest_may_exist = false;
  return save_reservations(all);
}

bool NodeStore::release(const std::string& id, const std::string& area, const std::string& stored_name) {
  auto all = reservations_;
  auto removed = std::erase_if(all, [&](const Reservation& o) {
    return o.id == id && o.area == area && o.stored_name == stored_name;
  });
  // No more writes can come: the file's count of them is not needed again.
  if (removed > 0) written_.erase((account_dir(id, area) / stored_name).string());
  // Unflushed: a release lost to a crash only holds the space until the
  // reservation expires, and spares a registration the wait for the disk.
  return removed > 0 && save_reservations(all, Flush::no);
}

void NodeStore::expire_reservations(int64_t now_s) {
  const int64_t expiry = options_.reservation_expiry_s;
  auto due = [&](const Reservation& r) {
    if (saturating_add(r.reserved_at, expiry) > now_s) return false;
    // A file still being written keeps its reservation alive.
    std::error_code ec;
    const auto written = fs::last_write_time(stored_file(r), ec);
    if (ec) return true;
    const auto written_s = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::file_clock::to_sys(written).time_since_epoch()).count();
    return saturating_add(written_s, expiry) <= now_s;
  };
  if (std::none_of(reservations_.begin(), reservations_.end(), due)) return;
  std::vector<Reservation> kept;
  for (const Reservation& r : reservations_) {
    if (!due(r)) {
      kept.push_back(r);
      continue;
    }
    std::error_code ec;
    if (!is_listed(r.id, r.area, r.stored_name)) {
      fs::remove(stored_file(r), ec);
      forget_digest(r.id, r.area, r.stored_name);
    }
    written_.erase(stored_file(r).string());
    std::fprintf(stderr, "morbnode: reservation of %s expired\n", r.stored_name.c_str());
  }
  save_reservations(kept, Flush::no);
}

bool NodeStore::is_listed(const std::string& id, const std::string& area, const std::string& stored_name) const {
  for (const auto& line : read_list(files_list(id, area))) {
    auto entry = Fields::parse(line);
    if (entry && entry->get("FN") == stored_name) return true;
  }
  return false;
}

fs::path NodeStore::digest_file(const std::string& id, const std::string& area,
                                const std::string& stored_name) const {
  return private_dir() / "digests" / id / area / stored_name;
}

std::optional<std::string> NodeStore::digest(const std::string& id, const std::string& area,
                                             const std::string& stored_name) const {
  auto hex = read_whole(digest_file(id, area, stored_name));
  const bool valid = hex && hex->size() == 64 &&
                     hex->find_first_not_of("0123456789abcdef") == std::string::npos;
  return valid ? hex : std::nullopt;
}

bool NodeStore::record_digest(const Reservation& r, const std::string& hex) {
  const fs::path file = digest_file(r.id, r.area, r.stored_name);
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  if (ec || !replace_file(file, hex)) return false;
  written_[stored_file(r).string()].digest_may_exist = true;
  return true;
}

void NodeStore::forget_digest(const std::string& id, const std::string& area, const std::string& stored_name) {
  std::error_code ec;
  fs::remove(digest_file(id, area, stored_name), ec);
}

uint64_t NodeStore::note_write(const fs::path& local) {
  WrittenFile& file = written_[local.string()];
  if (file.digest_may_exist) {
    if (auto r = reservation_at(local)) forget_digest(r->id, r->area, r->stored_name);
    file.digest_may_exist = false;
  }
  return ++file.writes;
}

uint64_t NodeStore::write_count(const fs::path& local) const {
  auto it = written_.find(local.string());
  return it == written_.end() ? 0 : it->second.writes;
}

std::vector<std::string> NodeStore::read_list(const fs::path& list) const {
  std::vector<std::string> lines;
  std::ifstream in(list);
  std::string line;
  while (std::getline(in, line))
    if (!line.empty()) lines.push_back(line);
  return lines;
}

bool NodeStore::append_line(const fs::path& list, const std::string& line) const {
  // In place: a list of thousands of lines is not read and written again
  // for each new one, and no new file is made for it.
  std::error_code ec;
  const bool existed = fs::exists(list, ec);
  FileDescriptor file(::open(list.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0644));
  struct stat info {};
  if (!file || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  const off_t old_size = info.st_size;
  std::string text;
  char last = '\n';
  if (old_size > 0 && ::pread(file.get(), &last, 1, old_size - 1) != 1) return false;
  // A line left without its end by some earlier writer is never glued to.
  if (last != '\n') text += '\n';
  text += line + "\n";
  bool ok = true;
  for (size_t done = 0; ok && done < text.size();) {
    const ssize_t put = ::write(file.get(), text.data() + done, text.size() - done);
    if (put < 0 && errno == EINTR) continue;
    ok = put > 0;
    if (ok) done += static_cast<size_t>(put);
  }
  // On disk before the node answers, as every change it confirms.
  ok = ok && ::fdatasync(file.get()) == 0;
  if (!ok) {
    // All or nothing: what went in of the line is taken out again.
    if (::ftruncate(file.get(), old_size) == 0) (void)::fdatasync(file.get());
    return false;
  }
  return existed || sync_directory(list.parent_path());
}

bool NodeStore::write_list(const fs::path& list, const std::vector<std::string>& lines) const {
  std::string content;
  for (const auto& l : lines) content += l + "\n";
  return replace_file(list, content);
}

}  // namespace morbs::node
