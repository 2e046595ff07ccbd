#include "deskbox/one_instance.h"

namespace morbs::deskbox {

int CheckOneInstance(platform::InstanceLock& marker) { return marker.acquire(instance_name) ? 1 : 0; }

}  // namespace morbs::deskbox
