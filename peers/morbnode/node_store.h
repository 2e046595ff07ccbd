// The node's state on disk: accounts, stored files, reservations and lists.
// Everything is a file under the root, so a restarted node carries on.
// Not safe for concurrent use: callers hold mutex() around each operation.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "peers/morbnode/options.h"

namespace morbs::node {

inline constexpr const char* private_dir_name = "private";

// Whether a change must be on disk before the node goes on.
enum class Flush { yes, no };

struct Reservation {
  std::string id, area, stored_name;
  int64_t size = 0;
  int64_t reserved_at = 0;  // seconds since 1970: when the space was granted
};

class NodeStore {
 public:
  explicit NodeStore(const Options& options);

  // Creates the node's directories and reads the reservations; false with
  // the reason. Records that fail the checks are reported and skipped.
  bool open(std::string& error);

  std::mutex& mutex() { return mutex_; }

  const std::filesystem::path& root() const { return root_; }
  // What only the node itself sees (reservations, host key); not served.
  std::filesystem::path private_dir() const { return root_ / private_dir_name; }
  // home/<user>/MORBS-SYSTEM/MORB<sn>/<area dir>/<id path>/; id and area checked by the caller.
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

  const std::vector<Reservation>& reservations() const { return reservations_; }
  std::optional<Reservation> find_reservation(const std::string& id, const std::string& area,
                                              const std::string& stored_name) const;
  // The reservation whose stored file is `local`, if any: what SFTP may write.
  std::optional<Reservation> reservation_at(const std::filesystem::path& local) const;
  bool reserve(const Reservation& r);  // creates the account's directories
  bool release(const std::string& id, const std::string& area, const std::string& stored_name);
  // Gives back every reservation neither made nor written to within the
  // expiry before `now_s` (seconds since 1970), with its unlisted data: a
  // client that went away never holds space for good.
  void expire_reservations(int64_t now_s);

  // True when the area's files list has a line for this stored name.
  bool is_listed(const std::string& id, const std::string& area, const std::string& stored_name) const;

  // The SHA-256 (64 lower-case hex digits) recorded for a stored file, if any.
  std::optional<std::string> digest(const std::string& id, const std::string& area,
                                    const std::string& stored_name) const;
  bool record_digest(const Reservation& r, const std::string& hex);
  void forget_digest(const std::string& id, const std::string& area, const std::string& stored_name);

  // Every change to a reserved file through SFTP counts here, and its digest
  // is forgotten: a digest recorded is one of the bytes as they are. The
  // count tells an upload whether anyone else wrote to its file meanwhile.
  uint64_t note_write(const std::filesystem::path& local);
  uint64_t write_count(const std::filesystem::path& local) const;

  const Options& options() const { return options_; }

  // List lines of one area of one account, as stored.
  std::vector<std::string> read_list(const std::filesystem::path& list) const;
  // All or nothing: on failure the list is as it was.
  bool append_line(const std::filesystem::path& list, const std::string& line) const;
  bool write_list(const std::filesystem::path& list, const std::vector<std::string>& lines) const;

 private:
  void load_reservations();
  bool save_reservations(const std::vector<Reservation>& all, Flush flush = Flush::yes);
  int64_t used_bytes(const std::string& area) const;
  std::filesystem::path digest_file(const std::string& id, const std::string& area,
                                    const std::string& stored_name) const;

  struct WrittenFile {
    uint64_t writes = 0;
    bool digest_may_exist = true;  // until this run has removed it once
  };

  Options options_;
  std::filesystem::path root_, system_dir_;
  std::vector<Reservation> reservations_;
  std::map<std::string, WrittenFile> written_;
  std::mutex mutex_;
};

// Writes `content` aside and renames it over `path`: never half a file. With
// Flush::yes the file and then its directory entry are on disk when it
// returns true.
bool replace_file(const std::filesystem::path& path, const std::string& content, Flush flush = Flush::yes);
// Flushes a directory's entries (a new or renamed name) to disk.
bool sync_directory(const std::filesystem::path& dir);

// The wall clock in seconds since 1970.
int64_t seconds_now();

}  // namespace morbs::node
