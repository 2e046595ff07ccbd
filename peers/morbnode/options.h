// What one node is: its number, ports, login, root and fault switches.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "peers/morbnode/ssh_algorithms.h"

namespace morbs::node {

struct Options {
  std::string root;
  int sn = 1;
  int port = 9201;
  int sftp_port = 0;  // 0: no SFTP service
  // The SFTP port told to clients, when they reach the node through a
  // forwarding proxy; nullopt: sftp_port.
  std::optional<int> announced_sftp_port;
  std::string user = "morb";
  std::string password = "morb";
  std::optional<int64_t> capacity_accounts, capacity_accounts1;  // default: the disk's free space
  bool refuse_all = false;
  long answer_delay_ms = 0;
  bool never_answer = false;
  bool close_without_answer = false;
  bool sftp_off = false;             // the port is advertised, nothing listens on it
  std::set<std::string> refused_ops;  // "resv", "listfiles", "listfiles-add", ...
  std::optional<int64_t> disk_full_at;  // no file the node writes grows beyond this
  std::string log_path;
  int64_t reservation_expiry_s = 24 * 60 * 60;  // a reservation never written is given back then
  bool no_digest = false;        // chkfile never tells a digest
  bool refuse_listed_digests = false;  // a registration line with a SHA field is refused, as by a node that knows none
  bool corrupt_uploads = false;  // one byte of every stored file flipped as it is written
  std::optional<int64_t> sftp_stall_after;  // a session stops answering after this many bytes
  int64_t sftp_fail_opens = 0;    // the node's first this many SFTP opens of a file are refused
  std::string sftp_fail_name;     // every SFTP open of a path holding this is refused ("": none)
  int sftp_sessions = 32;         // SFTP sessions served at once
  int64_t sftp_queue_wait_s = 120;  // how long a login beyond them waits for a free one
  SshAlgorithms ssh_algorithms;   // offered by the SFTP service
};

// The SFTP port clients are told to use.
int announced_sftp_port(const Options& options);

// True when a request with these OP and SUB values is to be refused.
bool op_refused(const Options& options, const std::string& op, const std::string& sub);

// nullopt with the reason in `error`.
std::optional<Options> parse_options(const std::vector<std::string>& args, std::string& error);

extern const char* const usage_text;

}  // namespace morbs::node
