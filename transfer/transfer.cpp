#include "transfer/transfer.h"

namespace morbs {

std::string_view copy_text(Copy copy) { return copy == Copy::basic ? "basic" : "second"; }
std::string_view org_text(Copy copy) { return copy == Copy::basic ? "0" : "1"; }

std::string_view area_text(Area area) { return area == Area::accounts ? "accounts" : "accounts1"; }

std::optional<Area> area_of(std::string_view text) {
  if (text == "accounts") return Area::accounts;
  if (text == "accounts1") return Area::accounts1;
  return std::nullopt;
}

namespace {

// curl reads "-" as standard input or output and "." as a special upload
// source; a local file of that name is named through its directory.
std::string literal_path(const std::string& path) {
  if (path == "-" || path == ".") return "./" + path;
  return path;
}

void add_stall_limits(std::vector<std::string>& argv, int stall_seconds) {
  if (stall_seconds <= 0) return;
  const std::string stall = std::to_string(stall_seconds);
  argv.insert(argv.end(), {"--connect-timeout", std::to_string(2 * stall_seconds), "--speed-limit", "1",
                           "--speed-time", stall});
}

}  // namespace

std::vector<std::string> curl_arguments(const Transfer& t, bool quiet, int stall_seconds) {
  const bool upload = t.direction == Direction::upload;
  std::string local = t.local.empty() ? std::string("-") : literal_path(t.local);
  const bool bar = t.progress && !quiet;
  std::vector<std::string> argv = {"curl", "-k", "--globoff", t.url, "--user", t.login};
  add_stall_limits(argv, stall_seconds);
  argv.insert(argv.end(), {upload ? "-T" : "-o", std::move(local), bar ? "--progress-bar" : "-Ss"});
  return argv;
}

std::string place_of(const Transfer& t) {
  const size_t scheme = t.url.find("://");
  const size_t path = scheme == std::string::npos ? std::string::npos : t.url.find('/', scheme + 3);
  return t.url.substr(0, path) + " " + t.login;
}

std::vector<std::string> curl_group_arguments(const std::vector<const Transfer*>& transfers, int stall_seconds) {
  std::vector<std::string> argv = {"curl", "-k", "--globoff", "-Ss", "-w", per_transfer_outcome};
  add_stall_limits(argv, stall_seconds);
  if (!transfers.empty()) argv.insert(argv.end(), {"--user", transfers.front()->login});
  // Each -T or -o belongs to the URL it stands beside, in order.
  for (const Transfer* t : transfers) {
    if (t->direction == Direction::upload)
      argv.insert(argv.end(), {"-T", literal_path(t->local), t->url});
    else
      argv.insert(argv.end(), {t->url, "-o", literal_path(t->local)});
  }
  return argv;
}

}  // namespace morbs
