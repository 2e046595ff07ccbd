// "--help" alone: every program prints a usage that names each of its forms
// (the cases of tests/e2e/help_forms.txt, which scripts/check-package holds
// the installed programs to as well) on standard output and ends with 0,
// with no certificate, client.config or terminal, leaving no file behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/process.h"
#include "tests/e2e/support/certificate_fixture.h"
#include "tests/e2e/support/temp_dir.h"

namespace morbs::e2e {
namespace {

// Program -> the pieces its usage must hold, in the file's order.
std::map<std::string, std::vector<std::string>> cases() {
  std::map<std::string, std::vector<std::string>> forms;
  std::ifstream in(std::string(MORBS_SOURCE_DIR) + "/tests/e2e/help_forms.txt");
  EXPECT_TRUE(in);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const size_t colon = line.find(": ");
    EXPECT_NE(colon, std::string::npos) << line;
    if (colon != std::string::npos) forms[line.substr(0, colon)].push_back(line.substr(colon + 2));
  }
  return forms;
}

TEST(ProgramHelp, EveryProgramNamesEachOfItsForms) {
  const auto forms = cases();
  for (const char* name : {"pushbox", "pullbox", "erasebox", "deskbox", "gatekeep", "promptwin", "morbnode",
                           "netdelay"})
    EXPECT_FALSE(forms.count(name) == 0) << name << " has no case";
  for (const auto& [name, pieces] : forms) {
    TempDir dir("help");
    platform::RunOptions options;
    options.working_directory = dir.str();
    options.capture_error = true;
    options.timeout_ms = 20000;
    const auto r = platform::run_process({program(name), "--help"}, options);
    ASSERT_TRUE(r) << name;
    EXPECT_EQ(r->exit_code, 0) << name << ": " << r->error;
    EXPECT_EQ(r->error, "") << name;
    EXPECT_EQ(r->output.rfind("usage: " + name, 0), 0u) << name << ": " << r->output;
    for (const std::string& piece : pieces)
      EXPECT_NE(r->output.find(piece), std::string::npos) << name << " --help does not name: " << piece;
    EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << name << " left files behind";
  }
}

// The system's help texts stay as written; only one added line follows them.
TEST(ProgramHelp, TheSystemsHelpTextsEndWithAPointerToHelp) {
  TempDir dir("help");
  copy_certificate_to(dir.path());
  dir.write("client.config", "IP_ADDR=127.0.0.1&INIT_PORT_Q=1&TEST=1&\n");
  platform::RunOptions options;
  options.working_directory = dir.str();
  options.timeout_ms = 20000;
  const auto pull = platform::run_process({program("pullbox"), "-h"}, options);
  ASSERT_TRUE(pull);
  const std::string pointer = "\nEvery form of this version: pullbox --help\n";
  EXPECT_EQ(pull->output.substr(pull->output.size() - pointer.size()), pointer);
  EXPECT_EQ(pull->output.find("                          --- HELP ---\n"), 0u);
  const auto erase = platform::run_process({program("erasebox"), "-h"}, options);
  ASSERT_TRUE(erase);
  EXPECT_NE(erase->output.find("   --- END of Help --- \n\nEvery form of this version: erasebox --help\n"),
            std::string::npos)
      << erase->output;
}

}  // namespace
}  // namespace morbs::e2e
