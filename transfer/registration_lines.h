// The lines that register one stored copy in a node's files list and
// archive list, as the node's query port takes them.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

#include "core/report/reporter.h"
#include "core/wire/node_exchange.h"
#include "core/status.h"
#include "transfer/transfer.h"

namespace morbs {

inline constexpr size_t registration_line_limit = 255;

// Nothing when the line would pass 255 characters: a half-built line is
// never registered.
std::optional<std::string> list_files_line(std::string_view id, std::string_view stored_name,
                                           std::string_view uid32, Copy copy, int port, Area area);
std::optional<std::string> list_archive_line(std::string_view id, std::string_view stored_name, Copy copy,
                                             int port, Area area);

// Sends one prepared list or archive line to the node its PORT names. Ok
// when the node answered STATUS=done; a refusal is told as a detail
// ("Error: RE:  CP").
Status register_line(NodeExchange& exchange, std::string_view address, std::string_view line, Reporter& reporter);

// The line with the copy's digest at its end, "SHA=<64 hex>&"; nothing when
// `sha256` is no SHA-256 or the line would then not fit the request block,
// or with the flag and date the node adds, a list line.
std::optional<std::string> with_listed_digest(std::string_view line, std::string_view sha256);

// Says once per run, on standard error, that some line went without its
// digest; safe from the threads that register side by side.
class ListedDigestNotice {
 public:
  explicit ListedDigestNotice(std::string program) : program_(std::move(program)) {}
  void refused_by(int port, Reporter& reporter);
  void did_not_fit(Reporter& reporter);

 private:
  void once(const std::string& text, Reporter& reporter);
  std::string program_;
  std::atomic<bool> told_{false};
};

// Registers `line` with the copy's digest `sha256` (of the bytes sent, as
// the copy check confirmed them) at its end. A node that refuses the line
// with it gets the written line, without it, once more; a line that would
// not fit with it goes without it. Either way the notice says so once, and
// the result is that of the line the node last answered.
Status register_line_with_digest(NodeExchange& exchange, std::string_view address, std::string_view line,
                                 std::string_view sha256, Reporter& reporter, ListedDigestNotice& notice);

}  // namespace morbs
