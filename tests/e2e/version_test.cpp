// Every installed program answers "--version" alone with its name and the
// project's version, before any check of its own; a longer argument list
// still gets the program's usual answer.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/version.h"
#include "platform/process.h"
#include "tests/e2e/support/certificate_fixture.h"
#include "tests/e2e/support/temp_dir.h"

namespace morbs::e2e {
namespace {

const char* const programs[] = {"pushbox", "pullbox", "erasebox", "deskbox",
                                "promptwin", "gatekeep", "morbnode"};

platform::RunResult run_in(const TempDir& dir, std::vector<std::string> argv) {
  platform::RunOptions options;
  options.working_directory = dir.str();
  options.merge_standard_error = true;
  options.timeout_ms = 20000;
  return platform::run_process(argv, options).value_or(platform::RunResult{});
}

size_t entries(const TempDir& dir) {
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++count;
  return count;
}

// No certificate, no terminal, no data network: the answer needs none, and
// nothing else happens (deskbox would start gatekeep and leave crt.tmp).
TEST(ProgramVersion, EveryProgramPrintsItsNameAndTheVersion) {
  for (const char* name : programs) {
    TempDir dir("version");
    dir.write("client.config", "IP_ADDR=127.0.0.1&\nINIT_PORT_Q=1&\n");
    auto r = run_in(dir, {program(name), "--version"});
    EXPECT_EQ(r.exit_code, 0) << name;
    EXPECT_EQ(r.output, std::string(name) + " " + std::string(version()) + "\n");
    EXPECT_EQ(entries(dir), 1u) << name << " left files behind";
  }
}

TEST(ProgramVersion, AnotherArgumentAfterItGetsTheUsualAnswer) {
  struct Case {
    const char* name;
    int exit_code;
    const char* answer;  // a piece of the output
  };
  const Case cases[] = {
      {"pushbox", 1, "\n Incorrect access card\n"},
      {"pullbox", 1, "\n Incorrect access card\n"},
      {"erasebox", 1, "\n Incorrect access card\n"},
      {"promptwin", 2, "usage: promptwin"},
      {"gatekeep", 2, "usage: gatekeep -local"},
      {"morbnode", 2, "morbnode: unknown option: --version\n"},
  };
  for (const Case& c : cases) {
    TempDir dir("version");
    dir.write("client.config", "IP_ADDR=127.0.0.1&\nINIT_PORT_Q=1&\n");
    auto r = run_in(dir, {program(c.name), "--version", "x"});
    EXPECT_EQ(r.exit_code, c.exit_code) << c.name;
    EXPECT_NE(r.output.find(c.answer), std::string::npos) << c.name << ": " << r.output;
    EXPECT_EQ(r.output.find(std::string(version())), std::string::npos) << c.name << ": " << r.output;
  }
}

}  // namespace
}  // namespace morbs::e2e
