#include "classify/system_registry.h"

namespace vx::classify {

// Device keys exist only in a Windows registry.
Registry* SystemDeviceRegistry() { return nullptr; }

}  // namespace vx::classify
