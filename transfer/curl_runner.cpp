#include "transfer/curl_runner.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "core/wire/query_string.h"
#include "platform/process.h"

namespace morbs {

namespace {

const Slots& entries_of(const TransferTable& curl_table, std::string_view copy) {
  return copy == "basic" ? curl_table.basic_entries : curl_table.second_entries;
}

std::string_view entry_at(const TransferTable& curl_table, std::string_view copy, int index) {
  if (index < 0 || index >= node_count) return empty_slot;
  return entries_of(curl_table, copy)[index];
}

enum class Outcome { done, failed, not_started };

// One curl run. Our own buffered lines go out first, so that they stay in
// order with what curl writes to the same terminal.
Outcome run_curl(const std::vector<std::string>& argv) {
  std::fflush(stdout);
  platform::RunOptions options;
  options.capture_output = false;
  auto result = platform::run_process(argv, options);
  if (!result) return Outcome::not_started;
  return result->exit_code == 0 ? Outcome::done : Outcome::failed;
}

// The attempts of one transfer. -1 with `not_started` set when curl could not
// be started at all (nothing to retry).
int run_with_attempts(const std::vector<std::string>& argv, const char* attempt_line, int test,
                      bool& not_started) {
  not_started = false;
  for (int attempt = 1; attempt <= transfer_attempts; ++attempt) {
    Outcome outcome = run_curl(argv);
    if (outcome == Outcome::done) return 0;
    if (outcome == Outcome::not_started) {
      not_started = true;
      return -1;
    }
    if (test) std::printf(attempt_line, attempt, transfer_attempts);
  }
  return -1;
}

}  // namespace

void test_write(std::string_view text) {
  std::ofstream out(upload_errors_file, std::ios::app | std::ios::binary);
  if (!out) return;
  out << text << '\n';
}

std::vector<std::string> curl_arguments(std::string_view entry, std::string_view flag,
                                        std::string_view local, std::string_view last) {
  if (entry == empty_slot) return {};
  std::string url, login, file;
  if (select_value(entry, "ST4", url) != 0 || select_value(entry, "ST6", login) != 0) return {};
  if (local.empty()) {
    if (select_value(entry, "ST8", file) != 0) return {};
  } else {
    file = std::string(local);
  }
  return {"curl", "-k", url, "--user", login, std::string(flag), file, std::string(last)};
}

int curl_write(const TransferTable& curl_table, std::string_view copy, int index,
               const std::string& source, std::string_view fname_input, int test) {
  auto argv = curl_arguments(entry_at(curl_table, copy, index), "-T", source, "--progress-bar");
  bool not_started = argv.empty();
  if (!not_started &&
      run_with_attempts(argv, upload_attempt_line, test, not_started) == 0)
    return 0;
  if (not_started) {
    if (test) std::puts("Error: incorrect arguments in the q-string");
    return -1;
  }
  test_write(fname_input);
  return -1;
}

int curl_read(const TransferTable& curl_table, std::string_view copy, int index,
              std::string& message, int test) {
  message = empty_slot;
  std::string_view entry = entry_at(curl_table, copy, index);
  std::string last = "--progress-bar";
  if (entry != empty_slot && select_value(entry, "ST9", last) != 0) last = "--progress-bar";
  auto argv = curl_arguments(entry, "-o", {}, last);
  bool not_started = argv.empty();
  if (!not_started &&
      run_with_attempts(argv, download_attempt_line, test, not_started) == 0)
    return 0;
  message = download_failure(not_started);
  return -1;
}

const char* download_failure(bool not_started) {
  return not_started ? "incorrect arguments in the q-string" : "download error";
}

int write_block(std::istream& input, const std::string& part_name, int64_t size, int test) {
  std::ofstream part(part_name, std::ios::binary | std::ios::trunc);
  if (!part) {
    if (test) std::puts("Error: can't open part file for write");
    return -1;
  }
  std::error_code ignored;
  std::filesystem::permissions(part_name, std::filesystem::perms(0644),
                               std::filesystem::perm_options::replace, ignored);
  // Larger than a disk block: the parts of a big upload are cut with few calls.
  std::vector<char> block(1 << 20);
  int64_t left = size < 0 ? 0 : size;
  while (left > 0) {
    auto want = static_cast<std::streamsize>(std::min<int64_t>(left, static_cast<int64_t>(block.size())));
    errno = 0;
    input.read(block.data(), want);
    std::streamsize got = input.gcount();
    if (got > 0 && !part.write(block.data(), got)) {
      if (test) std::fprintf(stderr, "block_write: %s\n", std::strerror(errno ? errno : EIO));
      return -1;
    }
    left -= got;
    if (got < want) {
      if (test)
        std::fprintf(stderr, "block_read: %s\n", errno ? std::strerror(errno) : "the input file ended early");
      return -1;
    }
  }
  part.close();
  if (part.fail()) {
    if (test) std::fprintf(stderr, "block_write: %s\n", std::strerror(errno ? errno : EIO));
    return -1;
  }
  return 0;
}

}  // namespace morbs
