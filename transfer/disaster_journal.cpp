#include "transfer/disaster_journal.h"

#include <filesystem>
#include <fstream>
#include <vector>

#include "core/session/account.h"
#include "core/wire/number_text.h"
#include "core/wire/query_string.h"
#include "platform/file_region.h"
#include "platform/regular_file.h"

namespace morbs {

namespace {

namespace fs = std::filesystem;

enum class LineOutcome { released, malformed, unreachable };

LineOutcome release_line(const std::string& line, NodeExchange& exchange, Reporter& reporter) {
  auto malformed = [&](const char* text) {
    reporter.detail_line(text);
    return LineOutcome::malformed;
  };
  if (line.size() > disaster_line_limit) return malformed("Error[!]: incorrect disaster-string [1]");
  std::string disk, fn, id, address, port_text;
  select_value(line, "DISK", disk);
  select_value(line, "FN", fn);
  select_value(line, "ID", id);
  std::string request = "OP=listfiles&SUB=chg&DISK=" + disk + "&FN=" + fn + "&ID=" + id + "&CURRNEW=delete&";
  if (request.find(absent) != std::string::npos) return malformed("Error[!]: incorrect disaster-string [1]");
  if (select_value(line, "IPADDR", address) != 0) return malformed("Error[!]: incorrect disaster-string [2]");
  select_value(line, "PORT", port_text);
  const int port = to_int(port_text);
  if (port <= 0 || port > 65535) return malformed("Error[!]: incorrect disaster-string [3]");
  if (!exchange.ask(address, port, request)) {
    reporter.say_line("Error[!]: abort connection clear-disaster[0]");
    return LineOutcome::unreachable;
  }
  return LineOutcome::released;
}

// A name beside `path` that is not taken, still holding the marker.
std::string aside_name(const std::string& path) {
  for (int n = 1;; ++n) {
    std::string candidate = path + "." + std::to_string(n);
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(candidate, ec))) return candidate;
  }
}

}  // namespace

DisasterJournal::DisasterJournal(std::string_view stored_name, bool matrix)
    : path_(std::string(stored_name) + (matrix ? "-matrix.disater" : "-singular.disater")) {}

bool DisasterJournal::exists() const { return platform::is_regular_file(path_); }

void DisasterJournal::start_fresh(NodeExchange& exchange, Reporter& reporter) {
  const std::string wanted = path_;
  for (int n = 0; n < 1000; ++n) {
    path_ = n == 0 ? wanted : wanted + "." + std::to_string(n);
    std::error_code ec;
    const fs::file_status there = fs::symlink_status(path_, ec);
    if (fs::exists(there) && !fs::is_regular_file(there)) remove();  // nothing an upload wrote
    // The name is held before anything in it is read: a run that looked
    // first and held after could give back what a run starting beside it
    // had just reserved. Lines found in a file this run holds can only be
    // a dead run's.
    held_ = platform::HeldFile::hold(path_, true);
    if (!held_) continue;  // a running upload's own
    if (!held_->is_regular()) {
      held_.reset();
      continue;
    }
    if (!held_->has_content() || take_over_leftover(exchange, reporter)) return;
    held_.reset();
  }
}

bool DisasterJournal::take_over_leftover(NodeExchange& exchange, Reporter& reporter) {
  std::ifstream file(path_, std::ios::binary);
  std::vector<std::string> kept;
  for (std::string line; std::getline(file, line);)
    if (release_line(line, exchange, reporter) != LineOutcome::released) kept.push_back(line);
  file.close();
  if (!kept.empty()) {
    // What is still reserved stays for -clear_disaster, in a file of its own.
    platform::FileDescriptor aside = platform::create_new_file(aside_name(path_));
    std::string text;
    for (const std::string& line : kept) text += line + '\n';
    if (!aside || !platform::write_all(aside.get(), text)) return false;
  }
  return held_->clear();
}

bool DisasterJournal::record(std::string_view line) { return write_to_file(path_, line) == 0; }

Status DisasterJournal::release(NodeExchange& exchange, Reporter& reporter) {
  std::ifstream file;
  if (platform::is_regular_file(path_)) file.open(path_, std::ios::binary);
  if (!file.is_open()) {
    reporter.detail_line("Error[!]: can't open disaster-file");
    return Status::success();
  }
  std::vector<std::string> kept;
  for (std::string line; std::getline(file, line);)
    if (release_line(line, exchange, reporter) != LineOutcome::released) kept.push_back(line);
  file.close();
  if (kept.empty()) {
    remove();
    return Status::success();
  }
  // Only what is still held stays for a later -clear_disaster.
  const std::string aside = path_ + ".kept";
  {
    std::ofstream out(aside, std::ios::binary | std::ios::trunc);
    for (const std::string& line : kept) out << line << '\n';
    out.close();
    std::error_code ec;
    if (out) fs::rename(aside, path_, ec);
    if (!out || ec) platform::remove_file(aside);
  }
  return Status::failure("a node holding a reservation could not be reached");
}

void DisasterJournal::remove() { platform::remove_file(path_); }

Status release_all_disaster_files(NodeExchange& exchange, Reporter& reporter) {
  std::error_code error;
  fs::directory_iterator dir(".", error);
  if (error) return Status::failure("the working directory cannot be read");
  // Names first: the directory changes while the files are removed.
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : dir) {
    std::string name = entry.path().filename().string();
    if (name.find(disaster_marker) != std::string::npos) names.push_back(name);
  }
  int kept = 0;
  for (const std::string& name : names) {
    // A FIFO or a directory of that name is nothing an upload wrote, and a
    // running upload gives its reservations back itself.
    if (!platform::is_regular_file(name) || platform::HeldFile::held_elsewhere(name)) continue;
    reporter.detail_line(name);
    if (!DisasterJournal(name).release(exchange, reporter).ok()) ++kept;
  }
  if (kept == 0) return Status::success();
  return Status::failure(std::to_string(kept) + " disaster file(s) kept: a node holding a reservation could not be reached");
}

}  // namespace morbs
