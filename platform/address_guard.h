// The loopback guard: in builds with MORBS_LOOPBACK_ONLY every connect and
// send to an address outside 127.0.0.0/8 is refused as an unreachable peer.
#pragma once

#include <cstdint>

namespace morbs::platform {

// `address_in_network_order` is an IPv4 address as in sockaddr_in.
bool address_allowed(uint32_t address_in_network_order);

}  // namespace morbs::platform
