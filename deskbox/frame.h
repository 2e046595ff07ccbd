// The task frame: access check, then cycle after cycle the account and the
// tasks, until the user quits.
#pragma once

namespace morbs::deskbox {

// The exit code: 0 after a quit by an empty or unknown task, another
// deskbox running, or a refused session; 1 when the user quits at the
// account question or promptwin cannot be started.
int run_frame();

}  // namespace morbs::deskbox
