// The node's state on disk: accounts, stored files, reservations and lists.
// Everything is a file under the root, so a restarted node carries on.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "peers/morbnode/options.h"

namespace morbs::node {

inline constexpr const char* private_dir_name = "private";

struct Reservation {
  std::string id, area, stored_name;
  int64_t size = 0;
};

class NodeStore {
 public:
  explicit NodeStore(const Options& options);

  // Creates the node's directories; false with the reason.
  bool open(std::string& error);

  const std::filesystem::path& root() const { return root_; }
  // What only the node itself sees (reservations, host key); not served.
  std::filesystem::path private_dir() const { return root_ / private_dir_name; }
  // home/<user>/MORBS-SYSTEM/MORB<sn>/<area dir>/<id path>/
  std::filesystem::path account_dir(const std::string& id, const std::string& area) const;
  std::filesystem::path stored_file(const Reservation& r) const {
    return account_dir(r.id, r.area) / r.stored_name;
  }
  std::filesystem::path files_list(const std::string& id, const std::string& area) const {
    return account_dir(id, area) / "files_list.q";
  }
  std::filesystem::path archive_list(const std::string& id, const std::string& area) const {
    return account_dir(id, area) / "archive_list.q";
  }

  bool account_exists(const std::string& id, const std::string& area) const;
  int64_t free_space(const std::string& area) const;

  std::vector<Reservation> reservations() const;
  std::optional<Reservation> find_reservation(const std::string& id, const std::string& area,
                                              const std::string& stored_name) const;
  bool reserve(const Reservation& r);  // creates the account's directories
  bool release(const std::string& id, const std::string& area, const std::string& stored_name);

  // List lines of one area of one account.
  std::vector<std::string> read_list(const std::filesystem::path& list) const;
  bool append_line(const std::filesystem::path& list, const std::string& line) const;
  bool write_list(const std::filesystem::path& list, const std::vector<std::string>& lines) const;

 private:
  bool append_text(const std::filesystem::path& list, const std::string& text) const;
  bool save_reservations(const std::vector<Reservation>& all) const;
  int64_t used_bytes(const std::string& area) const;

  Options options_;
  std::filesystem::path root_, system_dir_;
};

// Areas are "accounts" and "accounts1"; their directories ACCOUNTS and ACCOUNTS1.
bool is_area(const std::string& area);

// Writes `content` aside and renames it over `path`: never half a file.
bool replace_file(const std::filesystem::path& path, const std::string& content);

}  // namespace morbs::node
