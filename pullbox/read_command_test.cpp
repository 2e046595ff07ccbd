#include "pullbox/read_command.h"

#include <gtest/gtest.h>

namespace morbs::pullbox {
namespace {

TEST(QueryPortOf, PortsOfTheListMapOntoTheQueryPorts) {
  Settings s = Settings::defaults(Program::pullbox);
  s.init_port = 9201;
  s.init_port_p = 9901;
  struct Case {
    const char* port;
    int used;
  } cases[] = {
      {"9201", 9201}, {"9205", 9205},  // init_port .. init_port + 4 as they are
      {"9200", 8500}, {"9206", 8506},  // just outside: taken as old-style
      {"9902", 9202}, {"9901", 9201},
      {"abc", 0},     {"NULL", 0},     // 0 - 9901 + 9201 is no port
      {"-2147483648", 0}, {"2147483647", 0}, {"66235", 65535}, {"66236", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(query_port_of(s, c.port), c.used) << c.port;
}

}  // namespace
}  // namespace morbs::pullbox
