#include "deskbox/one_instance.h"

namespace morbs::deskbox {

bool CheckOneInstance(platform::InstanceLock& marker) { return marker.acquire(instance_name); }

}  // namespace morbs::deskbox
