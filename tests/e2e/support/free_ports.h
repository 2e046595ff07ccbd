// Ports for the networks the tests start. They are taken below the kernel's
// ephemeral range (32768 and up): a port there that a stopped network gave
// back is soon some connection's own end, and a test that chose it would
// find a stranger answering, or take the port another test's client holds.
#pragma once

#include <initializer_list>

namespace morbs::e2e {

// A base port such that base + each offset (offsets below 200) is free now.
// Throws when fifty tries found none.
int free_base_port(std::initializer_list<int> offsets);

// One free port for a single listener.
inline int free_port() { return free_base_port({0}); }

}  // namespace morbs::e2e
