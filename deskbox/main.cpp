// deskbox: the task frame. Checks the access session, asks for the account
// and the task through promptwin, and runs pushbox, pullbox and erasebox.
// It takes no arguments.
#include "deskbox/frame.h"

int main() { return morbs::deskbox::run_frame(); }
