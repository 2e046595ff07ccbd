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

}  // namespace

std::vector<std::string> curl_arguments(const Transfer& t, bool quiet, int stall_seconds) {
  const bool upload = t.direction == Direction::upload;
  std::string local = t.local.empty() && !upload ? std::string("-") : literal_path(t.local);
  const bool bar = t.progress && !quiet;
  std::vector<std::string> argv = {"curl", "-k", "--globoff", t.url, "--user", t.login};
  if (stall_seconds > 0) {
    const std::string stall = std::to_string(stall_seconds);
    argv.insert(argv.end(), {"--connect-timeout", std::to_string(2 * stall_seconds), "--speed-limit", "1",
                             "--speed-time", stall});
  }
  argv.insert(argv.end(), {upload ? "-T" : "-o", std::move(local), bar ? "--progress-bar" : "-Ss"});
  return argv;
}

}  // namespace morbs
