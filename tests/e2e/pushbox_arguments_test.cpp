// pushbox's command line: each check, in its order, with its own message,
// and client.config left alone until the arguments have passed.
#include <gtest/gtest.h>

#include "tests/e2e/pushbox_fixture.h"

namespace morbs::e2e {
namespace {

class PushboxArguments : public PushboxTest {};

TEST_F(PushboxArguments, RefusedWithTheirMessages) {
  // No node runs: nothing here may reach one. TEST=0 in client.config would
  // silence the account check's own detail, had the file been read.
  config("", "TEST=0&\n");
  dir_.write("f.bin", "x");
  std::filesystem::create_directory(dir_ / "a directory");
  const std::string count = "Incorrect number of arguments\n";
  const std::string path2047(2047, 'p'), path2048(2048, 'p');
  struct Case {
    std::vector<std::string> args;
    std::string output;
  };
  const Case cases[] = {
      {{}, count},
      {{"-clear_disaster", "x"}, count},
      {{"-clear", }, count},
      {{push_id, "f.bin"}, count},
      {{push_id, "f.bin", "n", "extra"}, count},
      {{"1234567890", "f.bin", "n"}, "ID must containt 11 chars\n"},
      {{"1234567890", "f.bin"}, count},
      {{"123456789034", "f.bin", "n"}, "ID must containt 11 chars\n"},
      {{"12345678904", "f.bin", "n"}, "\nIncoreect PESEL number\nIncorrect ID (pesel form)\n"},
      {{push_id, path2048, "n"}, "Icorrect lenght of client's filename\n"},
      {{push_id, "f.bin", std::string(127, 'n')}, "Icorrect lenght of filename-in-archi\n"},
      {{push_id, "f.bin", ""}, "Icorrect lenght of filename-in-archi\n"},
      // Accepted lengths; the file itself is refused before any node is asked.
      {{push_id, path2047, "n"}, " can't open input file for upload to data-network: " + path2047 + "\n"},
      {{push_id, "missing.bin", std::string(126, 'n')},
       " can't open input file for upload to data-network: missing.bin\n"},
      {{push_id, "a directory", "n"}, " can't open input file for upload to data-network: a directory\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "no arguments" : c.args[0] + " " + (c.args.size() > 2 ? c.args[2].substr(0, 9) : ""));
    // The system's own text on standard output; a refused file also gets
    // its added last line on standard error.
    EXPECT_EQ(run_apart(c.args), c.output);
    if (c.args.size() == 3 && c.output != "ID must containt 11 chars\n" && c.args[0] == push_id)
      EXPECT_EQ(last_error().rfind("pushbox: " + c.args[1] + ": not stored: ", 0), 0u) << last_error();
    EXPECT_EQ(last_exit(), 1);  // a refused run is a failed run
  }
}

TEST_F(PushboxArguments, TheCertificateComesFirst) {
  std::filesystem::remove(dir_ / "crt.tmp");
  for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                               std::vector<std::string>{"-clear_disaster"},
                                               std::vector<std::string>{push_id, "f.bin", "n"}}) {
    const std::string out = run(args);
    EXPECT_EQ(out.substr(out.size() - std::string("\n Incorrect access card\n").size()), "\n Incorrect access card\n")
        << out;
    EXPECT_EQ(out.find("Incorrect number"), std::string::npos);
    EXPECT_EQ(last_exit(), 1);
  }
}

}  // namespace
}  // namespace morbs::e2e
