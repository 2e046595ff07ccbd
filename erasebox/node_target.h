// What one node operation of erasebox carries: where the copy lives.
#pragma once

#include <string>

#include "core/session/settings.h"

namespace morbs::erasebox {

struct NodeTarget {
  std::string address;
  int port = 0;
  std::string id;
  std::string stored_name;
  std::string area;
  ConnectionWait wait;  // the connection wait of client.config
};

}  // namespace morbs::erasebox
