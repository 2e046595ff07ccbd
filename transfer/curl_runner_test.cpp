#include "transfer/curl_runner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "transfer/curl_table.h"

namespace morbs {
namespace {

namespace fs = std::filesystem;

std::string read_all(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_all(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

// A stand-in for curl, first on PATH: it fails (exit 7) as often as the file
// "fails" says, records its arguments one per line in "args", and does what
// curl would do with the file: keeps a copy of the -T source, fills the -o
// target.
const char* fake_curl = R"sh(#!/bin/sh
d=$(dirname "$0")
n=$(cat "$d/calls" 2>/dev/null || echo 0)
n=$((n + 1))
echo "$n" > "$d/calls"
: > "$d/args"
for a in "$@"; do printf '%s\n' "$a" >> "$d/args"; done
if [ "$n" -le "$(cat "$d/fails")" ]; then exit 7; fi
prev=
for a in "$@"; do
  if [ "$prev" = "-T" ]; then cat "$a" > "$d/received"; fi
  if [ "$prev" = "-o" ]; then printf 'downloaded' > "$a"; fi
  prev=$a
done
exit 0
)sh";

const std::string url = "sftp://127.0.0.1:9310/home/node1/MORBS-SYSTEM/MORB1/ACCOUNTS/12/34/56/78/90/3/1:x";

std::string entry(const std::string& local, const std::string& last = "--progress-bar") {
  return "ST1=/bin/curl&ST2=curl&ST3=-k&ST4=" + url + "&ST5=--user&ST6=node1:pass1&ST7=-T&ST8=" + local +
         "&ST9=" + last + "&";
}

class CurlRunner : public ::testing::Test {
 protected:
  void SetUp() override {
    old_cwd_ = fs::current_path();
    dir_ = fs::temp_directory_path() / ("curl_runner_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "bin");
    fs::current_path(dir_);
    write_all(dir_ / "bin" / "curl", fake_curl);
    fs::permissions(dir_ / "bin" / "curl", fs::perms(0755));
    fails(0);
    const char* path = std::getenv("PATH");
    old_path_ = path ? path : "";
    set_path((dir_ / "bin").string() + ":" + old_path_);
    init_table(curl_table);
  }
  void TearDown() override {
    set_path(old_path_);
    fs::current_path(old_cwd_);
    fs::remove_all(dir_);
  }
  static void set_path(const std::string& p) { ::setenv("PATH", p.c_str(), 1); }
  void fails(int n) { write_all(dir_ / "bin" / "fails", std::to_string(n) + "\n"); }
  int calls() { return std::atoi(read_all(dir_ / "bin" / "calls").c_str()); }
  std::vector<std::string> args() {
    std::vector<std::string> out;
    std::istringstream in(read_all(dir_ / "bin" / "args"));
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  }

  fs::path dir_, old_cwd_;
  std::string old_path_;
  TransferTable curl_table;
};

TEST_F(CurlRunner, UploadAttemptsAndTheErrorFile) {
  struct Case {
    int failures;
    int result;
    int calls;
    const char* printed;
  };
  const Case cases[] = {
      {0, 0, 1, ""},
      {2, 0, 3, "Error: upload file, attmpt[1] from 3\nError: upload file, attmpt[2] from 3\n"},
      {3, -1, 3,
       "Error: upload file, attmpt[1] from 3\nError: upload file, attmpt[2] from 3\n"
       "Error: upload file, attmpt[3] from 3\n"},
  };
  write_all("part", "the bytes");
  curl_table.second_entries[2] = entry("part");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failures);
    fs::remove(dir_ / "bin" / "calls");
    fs::remove("zz-errors.txt");
    fails(c.failures);
    ::testing::internal::CaptureStdout();
    int result = curl_write(curl_table, "second", 2, "part", "/home/u/my file.bin", 1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.printed);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(calls(), c.calls);
    EXPECT_EQ(read_all("zz-errors.txt"), c.result == 0 ? "" : "/home/u/my file.bin\n");
  }
  // A second final failure adds a line; quiet runs print nothing.
  fs::remove(dir_ / "bin" / "calls");
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(curl_write(curl_table, "second", 2, "part", "/other", 0), -1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(read_all("zz-errors.txt"), "/home/u/my file.bin\n/other\n");
}

TEST_F(CurlRunner, ArgumentsArriveIntactAndTheSourceIsTheCallersPath) {
  // The entry was cut at the "&" of the path; the runner sends the whole path.
  const std::string source = "we\"ird 'name' $HOME & `id` #|.bin";
  write_all(source, "exact content\n");
  curl_table.basic_entries[0] = entry("we\"ird 'name' $HOME ");
  ASSERT_EQ(curl_write(curl_table, "basic", 0, source, source, 1), 0);
  EXPECT_EQ(args(), (std::vector<std::string>{"-k", url, "--user", "node1:pass1", "-T", source,
                                              "--progress-bar"}));
  EXPECT_EQ(read_all(dir_ / "bin" / "received"), "exact content\n");
}

TEST_F(CurlRunner, CopyNameSelectsTheEntries) {
  write_all("a", "A");
  write_all("b", "B");
  curl_table.basic_entries[1] = entry("a");
  curl_table.second_entries[1] = entry("b");
  ASSERT_EQ(curl_write(curl_table, "basic", 1, "a", "a", 0), 0);
  EXPECT_EQ(read_all(dir_ / "bin" / "received"), "A");
  // Only "basic" means the basic entries: "BASIC" reads the second ones.
  curl_table.second_entries[1] = "null";
  EXPECT_EQ(curl_write(curl_table, "BASIC", 1, "a", "a", 0), -1);
}

TEST_F(CurlRunner, NothingToRunIsRefusedWithoutRetryOrErrorLine) {
  write_all("f", "x");
  curl_table.basic_entries[0] = entry("f");
  struct Case {
    const char* what;
    int index;
    bool curl_on_path;
  };
  const Case cases[] = {{"empty entry", 1, true}, {"index out of range", 4, true},
                        {"index below range", -1, true}, {"no curl on PATH", 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(dir_ / "bin" / "calls");
    set_path(c.curl_on_path ? (dir_ / "bin").string() : (dir_ / "nothing").string());
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(curl_write(curl_table, "basic", c.index, "f", "f", 1), -1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Error: incorrect arguments in the q-string\n");
    EXPECT_FALSE(fs::exists(dir_ / "bin" / "calls"));
    EXPECT_FALSE(fs::exists("zz-errors.txt"));
    std::string message = "x";
    EXPECT_EQ(curl_read(curl_table, "basic", c.index, message, 1), -1);
    EXPECT_EQ(message, "incorrect arguments in the q-string");
  }
}

TEST_F(CurlRunner, Download) {
  std::string e = entry("tmp_part0", "-Ss");
  e.replace(e.find("ST7=-T"), 6, "ST7=-o");
  curl_table.second_entries[3] = e;
  std::string message;
  ASSERT_EQ(curl_read(curl_table, "second", 3, message, 1), 0);
  EXPECT_EQ(message, "null");
  EXPECT_EQ(args(), (std::vector<std::string>{"-k", url, "--user", "node1:pass1", "-o", "tmp_part0", "-Ss"}));
  EXPECT_EQ(read_all("tmp_part0"), "downloaded");

  fs::remove(dir_ / "bin" / "calls");
  fails(3);
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(curl_read(curl_table, "second", 3, message, 1), -1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "Error: download file, attmpt[1] from 3\nError: download file, attmpt[2] from 3\n"
            "Error: download file, attmpt[3] from 3\n");
  EXPECT_EQ(message, "download error");
  EXPECT_FALSE(fs::exists("zz-errors.txt"));  // only uploads are collected
}

std::string pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + i / 4096) & 0xff);
  return s;
}

TEST_F(CurlRunner, WriteBlockCutsConsecutiveParts) {
  const std::vector<int64_t> sizes = {0, 4095, 4096, 8192, (1 << 20) + 3, 1};
  int64_t total = 0;
  for (int64_t s : sizes) total += s;
  const std::string content = pattern(static_cast<size_t>(total));
  write_all("input", content);
  std::ifstream input("input", std::ios::binary);
  int64_t at = 0;
  for (size_t k = 0; k < sizes.size(); ++k) {
    SCOPED_TRACE(sizes[k]);
    const std::string name = "tmp_mfile" + std::to_string(k);
    write_all(name, "stale content that must go");
    ASSERT_EQ(write_block(input, name, sizes[k], 1), 0);
    EXPECT_EQ(read_all(name), content.substr(static_cast<size_t>(at), static_cast<size_t>(sizes[k])));
    EXPECT_EQ(fs::status(name).permissions() & fs::perms::all, fs::perms(0644));
    at += sizes[k];
  }
}

TEST_F(CurlRunner, WriteBlockFailures) {
  write_all("input", "0123456789");
  std::ifstream input("input", std::ios::binary);
  input.seekg(4);
  // An input that ends early: the part holds exactly what was read, and fails.
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(write_block(input, "short", 100, 1), -1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "block_read: the input file ended early\n");
  EXPECT_EQ(read_all("short"), "456789");

  std::ifstream again("input", std::ios::binary);
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(write_block(again, "no_such_dir/part", 3, 1), -1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Error: can't open part file for write\n");
}

}  // namespace
}  // namespace morbs
