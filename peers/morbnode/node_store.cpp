#include "peers/morbnode/node_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "core/session/account.h"
#include "peers/morbnode/names.h"
#include "peers/morbnode/request_fields.h"

namespace morbs::node {

namespace fs = std::filesystem;

namespace {

std::optional<std::string> read_whole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

bool replace_file(const fs::path& path, const std::string& content) {
  const fs::path part = path.string() + ".part";
  int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) return false;
  bool ok = true;
  for (size_t done = 0; ok && done < content.size();) {
    ssize_t put = ::write(fd, content.data() + done, content.size() - done);
    ok = put > 0;
    if (ok) done += static_cast<size_t>(put);
  }
  // No fsync: it waits for every dirty page the journal orders before it,
  // and after a large upload that took over 0.4 s, past the 300 ms a client
  // gives a node to answer, so good uploads failed at registration. The
  // rename still replaces the list whole; a crash of this process loses
  // nothing, only a crash of the machine may bring back the list before.
  ok = ::close(fd) == 0 && ok;
  std::error_code error;
  if (ok) fs::rename(part, path, error);
  if (!ok || error) {
    fs::remove(part, error);
    return false;
  }
  return true;
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
  std::ifstream in(private_dir() / "reservations.q");
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    auto fields = Fields::parse(line);
    Reservation r;
    std::optional<int64_t> size;
    if (fields) {
      r = {fields->get("ID"), fields->get("DISK"), fields->get("FN"), 0};
      size = parse_size(fields->get("FSZ"));
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

bool NodeStore::save_reservations(const std::vector<Reservation>& all) {
  std::string content;
  for (const Reservation& r : all)
    content += "ID=" + r.id + "&DISK=" + r.area + "&FN=" + r.stored_name +
               "&FSZ=" + std::to_string(r.size) + "&\n";
  if (!replace_file(private_dir() / "reservations.q", content)) return false;
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
  fs::create_directories(account_dir(r.id, r.area), ec);
  if (ec) return false;
  // An area that answers "ready" always has a list to fetch, empty or not.
  if (!fs::exists(files_list(r.id, r.area), ec) && !replace_file(files_list(r.id, r.area), ""))
    return false;
  auto all = reservations_;
  std::erase_if(all, [&](const Reservation& o) {
    return o.id == r.id && o.area == r.area && o.stored_name == r.stored_name;
  });
  all.push_back(r);
  return save_reservations(all);
}

bool NodeStore::release(const std::string& id, const std::string& area, const std::string& stored_name) {
  auto all = reservations_;
  auto removed = std::erase_if(all, [&](const Reservation& o) {
    return o.id == id && o.area == area && o.stored_name == stored_name;
  });
  return removed > 0 && save_reservations(all);
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
  std::error_code ec;
  std::string content;
  if (fs::exists(list, ec)) {
    auto old = read_whole(list);
    if (!old) return false;
    content = std::move(*old);
  }
  // A line left without its end by some earlier writer is never glued to.
  if (!content.empty() && content.back() != '\n') content += '\n';
  return replace_file(list, content + line + "\n");
}

bool NodeStore::write_list(const fs::path& list, const std::vector<std::string>& lines) const {
  std::string content;
  for (const auto& l : lines) content += l + "\n";
  return replace_file(list, content);
}

}  // namespace morbs::node
