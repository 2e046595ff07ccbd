#include "core/session/settings.h"

namespace morbs {

Settings Settings::defaults(Program program) {
  Settings s;
  s.program = program;
  s.ip_addr = program == Program::pullbox ? "127.0.0.1" : "10.0.0.4";
  s.timeout_seconds = program == Program::pushbox ? 3 : 0;
  s.curr_nr_serv = s.installed_servers_cap();
  return s;
}

}  // namespace morbs
