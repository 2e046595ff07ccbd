// Running the real deskbox for a test: its own working directory, its own
// single-instance lock directory (tests side by side never meet), promptwin
// answering from a script, and a small recording shim in front of each child
// program, so the test sees every command line deskbox ran.
#pragma once

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "platform/process.h"
#include "tests/e2e/support/certificate_fixture.h"
#include "tests/e2e/support/temp_dir.h"

namespace morbs::e2e {

// The local id gatekeep -local writes: the login name.
inline std::string login_name() {
  const passwd* pw = getpwuid(geteuid());
  return pw && pw->pw_name ? pw->pw_name : "";
}

inline std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class DeskboxRun : public ::testing::Test {
 protected:
  DeskboxRun() {
    std::filesystem::create_directories(tools_ / "bin");
    std::filesystem::create_directories(tools_ / "locks");
    for (const char* name : {"gatekeep", "pushbox", "pullbox", "erasebox"}) shim(name);
  }

  // A shim records "NAME<TAB>arg<TAB>arg..." in children.log (erasebox also
  // whether list.q is there), then runs the real program. `instead` replaces
  // the real program; `fallback` runs when the real one is not built.
  void shim(const std::string& name, const std::string& instead = "", const std::string& fallback = "exit 0") {
    const std::string log = (tools_ / "children.log").string();
    std::string body = "#!/bin/sh\nprintf '%s' '" + name + "' >> '" + log + "'\n"
                       "for a in \"$@\"; do printf '\\t%s' \"$a\" >> '" + log + "'; done\n";
    if (name == "erasebox") body += "if [ -f list.q ]; then printf '\\t(list.q)' >> '" + log + "'; fi\n";
    body += "printf '\\n' >> '" + log + "'\n";
    const std::string real = program(name);
    if (!instead.empty()) body += instead + "\n";
    else body += "if [ -x '" + real + "' ]; then exec '" + real + "' \"$@\"; fi\n" + fallback + "\n";
    const auto path = tools_ / "bin" / name;
    write_file(path, body);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  }

  void answers(const std::string& script) { write_file(tools_ / "answers", script); }

  struct Outcome {
    int exit_code = -1;
    std::string output;
  };

  // deskbox to its end (bounded); `with_promptwin` false leaves promptwin off PATH.
  Outcome run_deskbox(bool with_promptwin = true, long timeout_ms = 180000) {
    std::string path = (tools_ / "bin").string();
    if (with_promptwin) path += ":" + std::string(MORBS_BIN_DIR);
    path += ":/usr/local/bin:/usr/bin:/bin";
    platform::RunOptions options;
    options.working_directory = dir_.str();
    options.merge_standard_error = true;
    options.timeout_ms = timeout_ms;
    auto r = platform::run_process(command(path), options);
    EXPECT_TRUE(r && !r->timed_out);
    return r ? Outcome{r->exit_code, r->output} : Outcome{};
  }

  std::vector<std::string> command(const std::string& path) const {
    return {"env", "PATH=" + path, "MORBS_LOCK_DIR=" + (tools_ / "locks").string(),
            "PROMPTWIN_SCRIPT=" + (tools_ / "answers").string(),
            "PROMPTWIN_RECORD=" + (tools_ / "calls").string(), program("deskbox")};
  }

  // The promptwin calls, arguments joined by tabs, without the lines shown.
  std::vector<std::string> calls() const {
    std::vector<std::string> out;
    for (const auto& line : split_lines(read_file(tools_ / "calls")))
      if (line.rfind("  > ", 0) != 0) out.push_back(line);
    return out;
  }
  // The whole record, shown lines included.
  std::string record() const { return read_file(tools_ / "calls"); }
  std::vector<std::string> children() const { return split_lines(read_file(tools_ / "children.log")); }
  std::vector<std::string> children_named(const std::string& name) const {
    std::vector<std::string> out;
    for (const auto& line : children())
      if (line == name || line.rfind(name + "\t", 0) == 0) out.push_back(line);
    return out;
  }
  bool exists(const std::string& name) const { return std::filesystem::exists(dir_ / name); }

  TempDir dir_{"deskbox"};
  TempDir tools_{"deskbox-tools"};
};

inline const std::string info_prefix = "--info\t";
inline std::string info(const std::string& text) { return info_prefix + "'" + text + "'"; }

}  // namespace morbs::e2e
