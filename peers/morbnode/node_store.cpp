#include "peers/morbnode/node_store.h"

#include <fcntl.h>
#include <fstream>
#include <unistd.h>

#include "core/account.h"
#include "core/number_text.h"
#include "core/query_string.h"

namespace morbs::node {

namespace fs = std::filesystem;

bool is_area(const std::string& area) { return area == "accounts" || area == "accounts1"; }

bool replace_file(const fs::path& path, const std::string& content) {
  const fs::path part = path.string() + ".part";
  int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
  ok = ::fsync(fd) == 0 && ok;
  ::close(fd);
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
  if (ec) error = "cannot create " + system_dir_.string() + ": " + ec.message();
  return !ec;
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
    if (it->is_regular_file(ec) && it->path().filename().string().find(':') != std::string::npos)
      used += static_cast<int64_t>(it->file_size(ec));
  }
  return used;
}

int64_t NodeStore::free_space(const std::string& area) const {
  // What reservations still hold beyond what has been written.
  int64_t outstanding = 0;
  for (const Reservation& r : reservations()) {
    if (r.area != area) continue;
    std::error_code ec;
    auto written = fs::file_size(stored_file(r), ec);
    outstanding += std::max<int64_t>(0, r.size - (ec ? 0 : static_cast<int64_t>(written)));
  }
  const auto& capacity = area == "accounts" ? options_.capacity_accounts : options_.capacity_accounts1;
  int64_t free = 0;
  if (capacity) {
    free = *capacity - used_bytes(area) - outstanding;
  } else {
    std::error_code ec;
    free = static_cast<int64_t>(fs::space(root_, ec).available) - outstanding;
  }
  return std::max<int64_t>(free, 0);
}

std::vector<Reservation> NodeStore::reservations() const {
  std::vector<Reservation> all;
  std::ifstream in(private_dir() / "reservations.q");
  std::string line;
  while (std::getline(in, line)) {
    Reservation r;
    std::string size;
    if (select_value(line, "ID", r.id) || select_value(line, "DISK", r.area) ||
        select_value(line, "FN", r.stored_name) || select_value(line, "FSZ", size))
      continue;
    r.size = to_int64(size).value_or(0);
    all.push_back(r);
  }
  return all;
}

bool NodeStore::save_reservations(const std::vector<Reservation>& all) const {
  std::string content;
  for (const Reservation& r : all)
    content += "ID=" + r.id + "&DISK=" + r.area + "&FN=" + r.stored_name +
               "&FSZ=" + std::to_string(r.size) + "&\n";
  return replace_file(private_dir() / "reservations.q", content);
}

std::optional<Reservation> NodeStore::find_reservation(const std::string& id, const std::string& area,
                                                       const std::string& stored_name) const {
  for (const Reservation& r : reservations())
    if (r.id == id && r.area == area && r.stored_name == stored_name) return r;
  return std::nullopt;
}

bool NodeStore::reserve(const Reservation& r) {
  std::error_code ec;
  fs::create_directories(account_dir(r.id, r.area), ec);
  if (ec) return false;
  // An area that answers "ready" always has a list to fetch, empty or not.
  if (!fs::exists(files_list(r.id, r.area), ec) && !append_text(files_list(r.id, r.area), ""))
    return false;
  auto all = reservations();
  std::erase_if(all, [&](const Reservation& o) {
    return o.id == r.id && o.area == r.area && o.stored_name == r.stored_name;
  });
  all.push_back(r);
  return save_reservations(all);
}

bool NodeStore::release(const std::string& id, const std::string& area, const std::string& stored_name) {
  auto all = reservations();
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
  return append_text(list, line + "\n");
}

bool NodeStore::append_text(const fs::path& list, const std::string& text) const {
  int fd = ::open(list.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ok = ::fsync(fd) == 0 && ok;
  ::close(fd);
  return ok;
}

bool NodeStore::write_list(const fs::path& list, const std::vector<std::string>& lines) const {
  std::string content;
  for (const auto& l : lines) content += l + "\n";
  return replace_file(list, content);
}

}  // namespace morbs::node
