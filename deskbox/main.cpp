// deskbox: the task frame. Checks the access session, asks for the account
// and the task through promptwin, and runs pushbox, pullbox and erasebox.
// It takes no arguments; "--version" alone prints its version.
#include "core/version.h"
#include "deskbox/frame.h"

int main(int argc, char** argv) {
  if (morbs::asks_for_version(argc, argv)) return morbs::print_version("deskbox");
  return morbs::deskbox::run_frame();
}
