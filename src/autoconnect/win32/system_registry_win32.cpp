#include "autoconnect/system_registry.h"
#include "platform/registry/win32/registry_win32.h"

namespace vx::autoconnect {

Registry* SystemRegistry() { return &Win32Registry(); }

}  // namespace vx::autoconnect
