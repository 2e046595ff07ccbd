// The global settings of a program, with the defaults that differ by program.
#pragma once

#include <cstdint>
#include <string>

namespace morbs {

enum class Program { pullbox, pushbox, erasebox };

// How long a node exchange waits for its connection.
struct ConnectionWait {
  long seconds = 0;
  long microseconds = 150000;
  // How long the answer is awaited once connected; 0: derived from the time
  // the connection took (never below 300 ms).
  long answer_ms = 0;
  // How long a node that turned the exchange away or did not answer (a busy
  // one) is tried again, pauses included; 0: one attempt.
  long busy_retry_ms = 0;
};

inline constexpr size_t ip_addr_limit = 19;
inline constexpr int transfers_limit = 8;

struct Settings {
  Program program = Program::pullbox;
  std::string ip_addr;
  int init_port = 9201;
  int init_port_p = 9901;
  int64_t min_fsize = 1000000;
  int curr_nr_serv = 4;
  int timeout_seconds = 0;
  int timeout_microsec = 150000;
  int mat_mode = 0;
  int test = 1;
  // Copies or parts moved at once by pushbox and pullbox; 1 keeps one
  // transfer at a time.
  int transfers = 1;

  static Settings defaults(Program program);
  // The cap of `curr_nr_serv`: 12 in erasebox, 4 elsewhere.
  int installed_servers_cap() const { return program == Program::erasebox ? 12 : 4; }
  // client.config ANSWER_WAIT_MS: 0 derives the answer wait from the path.
  int answer_wait_ms = 0;
  // client.config STALL_SEC: a transfer that moves nothing for this long is
  // given up as a failed attempt; logging in may take twice as long.
  int stall_seconds = 30;
  // Ten answer waits, at least 10 s, but never beyond the stall limit: a
  // node that lets the client wait longer counts as gone, as a stalled
  // transfer does. A loaded machine serving many clients keeps a node
  // silent for seconds; 3 s was measured too short at 32 clients.
  long busy_retry_ms() const {
    const long answer = answer_wait_ms > 0 ? answer_wait_ms : 300;
    const long wanted = 10 * answer < 10000 ? 10000 : 10 * answer;
    const long stall = 1000L * stall_seconds;
    return wanted < stall ? wanted : stall;
  }
  ConnectionWait connection_wait() const {
    return {timeout_seconds, timeout_microsec, answer_wait_ms, busy_retry_ms()};
  }
};

}  // namespace morbs
