// SFTP transfers in this process, side by side, on threads of their own
// (one for each node, up to four: the encryption of a fast link takes a core
// of its own): the one place that talks to the transfer library. Bytes go from and to
// regions of open files (pread and pwrite: a descriptor's position never
// moves), each block shown to the caller as it passes, so a digest needs no
// second read. Connections to a node are kept and reused by later
// transfers to it within the set's life.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>
#include <string_view>

namespace morbs::platform {

// "sftp://address:port" and the login: the transfers that may share a
// connection.
std::string connection_place(std::string_view url, std::string_view login);

// Sets up the transfer library for the process and ignores SIGPIPE (a node
// that hangs up must never kill a run). Call once, before any thread starts;
// later calls do nothing.
void start_transfer_library();

struct SftpJob {
  bool upload = false;
  std::string url;    // sftp://address:port/path, taken literally
  std::string login;  // user ":" password; password login only
  // Upload: `length` bytes of the file of `fd` from `offset`. Download:
  // written at `offset` on (a `fd` below 0: kept nowhere, only seen by
  // `on_bytes`); more than `length` bytes (when not below 0) end the
  // transfer at once. The descriptor is not owned and must stay
  // open until the transfer has ended.
  int fd = -1;
  int64_t offset = 0;
  int64_t length = -1;
  // No byte moved for this long ends the transfer (0: no limit); opening
  // the connection and logging in may take twice as long.
  int stall_seconds = 0;
  // Every block sent or received, in order, on the transfers' thread.
  std::function<void(std::string_view)> on_bytes;
};

// How a transfer ended.
struct SftpOutcome {
  enum class Kind {
    done,
    stalled,     // nothing moved for the stall time, or the login never came
    no_service,  // no connection, no SSH, or the login refused
    too_long,    // a download brought more bytes than it may hold (`bytes` says so)
    local,       // our side failed: reading the source, writing the target
    other,       // anything else the node or the library said
  };
  Kind kind = Kind::done;
  int code = 0;        // the library's code, 0 when done
  std::string error;   // what went wrong, in the library's words or ours
  int64_t bytes = 0;   // moved by this transfer
  bool ok() const { return kind == Kind::done; }
};

class SftpTransfers {
 public:
  SftpTransfers();
  // Transfers still running are stopped; none calls back afterwards.
  ~SftpTransfers();
  SftpTransfers(const SftpTransfers&) = delete;
  SftpTransfers& operator=(const SftpTransfers&) = delete;

  // Starts `job`; `ended` is called exactly once, on a transfers' thread,
  // when it is over (at once when it cannot start).
  void start(SftpJob job, std::function<void(SftpOutcome)> ended);

 private:
  struct Loop;
  static constexpr size_t max_loops = 4;
  std::mutex places_lock_;
  std::map<std::string, size_t> loop_of_place_;  // under places_lock_
  std::vector<std::unique_ptr<Loop>> loops_;      // likewise
};

}  // namespace morbs::platform
