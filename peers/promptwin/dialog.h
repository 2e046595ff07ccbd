// The dialogs on the user's terminal.
#pragma once

#include "peers/promptwin/call.h"
#include "platform/terminal.h"

namespace morbs::promptwin {

// Asks until the user gives a usable answer; the end of input (Ctrl-D)
// cancels the dialog.
Answer ask(platform::Terminal& terminal, const Call& call);

}  // namespace morbs::promptwin
