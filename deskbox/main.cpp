// deskbox: the task frame. Checks the access session, asks for the account
// and the task through promptwin, and runs pushbox, pullbox and erasebox.
// It takes no arguments; "--version" alone prints its version, "--help"
// alone its usage.
#include "core/help_option.h"
#include "core/version.h"

#include <cstdio>
#include "deskbox/frame.h"
#include "deskbox/help.h"

int main(int argc, char** argv) {
  if (morbs::asks_for_version(argc, argv)) {
    std::fputs(morbs::version_text("deskbox").c_str(), stdout);
    return 0;
  }
  if (morbs::asks_for_help(argc, argv)) return morbs::deskbox::print_all_forms();
  return morbs::deskbox::run_frame();
}
