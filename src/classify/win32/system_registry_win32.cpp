#include "classify/system_registry.h"
#include "platform/registry/win32/registry_win32.h"

namespace vx::classify {

Registry* SystemDeviceRegistry() { return &Win32Registry(); }

}  // namespace vx::classify
