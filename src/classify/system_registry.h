// The registry that holds this PC's device keys: the system registry on
// Windows; none elsewhere (classification then needs a registry given to it,
// such as a fake loaded from a .reg file).
#pragma once

#include "platform/registry/registry.h"

namespace vx::classify {

Registry* SystemDeviceRegistry();

}  // namespace vx::classify
