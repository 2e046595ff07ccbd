// One deskbox on the machine at a time, across users and sessions.
#pragma once

#include "platform/instance_lock.h"

namespace morbs::deskbox {

inline constexpr const char* instance_name = "KORVEX";

// True when this is the only running deskbox (`marker` then holds the lock
// for as long as it lives); false otherwise or when the lock cannot be taken.
bool CheckOneInstance(platform::InstanceLock& marker);

}  // namespace morbs::deskbox
